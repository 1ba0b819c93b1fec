// The catalogue run as the main window performs it: the tree is emptied and the dialog hidden first,
// then the run fills the tree as it goes. One handler catches every failure: it shows the error's
// description and, for a wrong or missing password, shows the dialog again with the user's entries.

#include <QLineEdit>
#include <QScrollBar>
#include <QTreeWidget>
#include <exception>

#include "core/database/catalogue.h"
#include "core/value/provider_error.h"
#include "gui/app_title.h"
#include "gui/catalogue_tree.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

void ShowRunError(MainWindow& window, const QString& description) {
    window.windows().ShowMessage(&window, description);
}

}  // namespace

void MainWindow::OpenDatabase() {
    try {
        tableTree()->clear();
        // The new database is shown from its root, whatever part of the last one was scrolled to.
        tableTree()->scrollToTop();
        tableTree()->horizontalScrollBar()->setValue(0);
        database::OpenDatabaseDialog& dialog = windows().OpenDatabaseDialog();
        dialog.hide();  // stays loaded: its controls hold the choice for later runs
        databasePath = dialog.DatabasePathBox()->text();
        database::CatalogueTree tree(*tableTree(), TreeIcons());
        database::RunCatalogue(database::ReadDatabaseChoice(dialog), tree);
    } catch (const ado::ProviderError& error) {
        ShowRunError(*this, QString::fromStdString(error.Description()));
        // Each new showing waits for the user, so a retry loop only goes as deep as the user takes it.
        if (error.Reason() == ErrorReason::WrongPassword) windows().OpenDatabaseDialog().ShowModal();
    } catch (const std::exception& error) {
        ShowRunError(*this, QString::fromStdString(error.what()));
    }
}

void MainWindow::ClickOpenFile() { windows().OpenDatabaseDialog().ShowModal(); }

}  // namespace tabvert::shell
