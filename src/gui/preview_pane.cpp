// The preview as the main window performs it: a click on a tree node empties the preview list, refreshes
// the database path from the open-database dialog and, unless the root node was clicked, fills the list
// with up to 10,000 records of the table. One handler catches every failure and shows its description;
// whatever reached the list before stays there.

#include <QLineEdit>
#include <QTreeWidget>
#include <exception>
#include <optional>

#include "core/database/preview.h"
#include "core/settings/settings_store.h"
#include "core/text/locale.h"
#include "core/value/provider_error.h"
#include "gui/app_title.h"
#include "gui/catalogue_tree.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/preview_list.h"
#include "gui/windows.h"

namespace tabvert::shell {

void MainWindow::ClickTreeNode(QTreeWidgetItem* node) {
    if (node == nullptr) return;
    // The node's text is the trimmed name; a table stored with blanks around it (or two tables that trim
    // to the same text) is read by the name the database stores.
    PreviewTable(database::NodeTableName(*node));
}

void MainWindow::PreviewTable(const QString& tableName) {
    std::optional<QString> failure;
    try {
        PreviewList()->ClearItems();
        PreviewList()->ClearColumns();
        // Reading the dialog loads a fresh, empty one if the user cancelled it; its path then fails to open.
        database::OpenDatabaseDialog& dialog = windows().OpenDatabaseDialog();
        dialog.hide();
        databasePath = dialog.DatabasePathBox()->text();
        if (tableName == databasePath) return;  // the root node: the list stays empty

        // A preview is read record by record, so a whole record is what the user points at.
        PreviewList()->SetFullRowSelect(true);
        // The filler shows its rows when it goes away, before any message box below.
        database::PreviewListFiller filler(*PreviewList(), *ProgressBar());
        database::RunPreview(database::ReadDatabaseChoice(dialog), tableName.toStdString(),
                             settings::SettingsStore(), text::Locale::System(), filler);
    } catch (const ado::ProviderError& error) {
        failure = QString::fromStdString(error.Description());
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    if (failure) windows().ShowMessage(this, *failure);
}

}  // namespace tabvert::shell
