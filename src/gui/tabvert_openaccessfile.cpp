// The catalogue run as the main window performs it: the tree is emptied and the dialog hidden first,
// then the run fills the tree as it goes. One handler catches every failure: it shows the error's
// description and, for a wrong or missing password, shows the dialog again with the user's entries.

#include <QLineEdit>
#include <QTreeWidget>
#include <exception>

#include "core/database/catalogue.h"
#include "gui/catalogue_tree.h"
#include "gui/start.h"
#include "core/value/provider_error.h"
#include "gui/platform/prompts.h"
#include "gui/app_title.h"
#include "gui/forms.h"
#include "gui/tabvert.h"

namespace tabvert::shell {

namespace {

void ShowRunError(Tabvert& window, const QString& description) { window.forms().showMessage(&window, description); }

}  // namespace

void Tabvert::openaccessfile() {
    try {
        tableTree()->clear();
        database::Start& dialog = forms().start();
        dialog.hide();  // stays loaded: its controls hold the choice for later runs
        dbpath = dialog.databasePathBox()->text();
        database::CatalogueTree tree(*tableTree(), treeIcons());
        database::RunCatalogue(database::ReadDatabaseChoice(dialog), tree);
    } catch (const ado::ProviderError& error) {
        ShowRunError(*this, QString::fromStdString(error.description()));
        // Each new showing waits for the user, so a retry loop only goes as deep as the user takes it.
        if (error.reason() == ErrorReason::WrongPassword) forms().start().showModal();
    } catch (const std::exception& error) {
        ShowRunError(*this, QString::fromStdString(error.what()));
    }
}

void Tabvert::clickOpenFile() { forms().start().showModal(); }

}  // namespace tabvert::shell
