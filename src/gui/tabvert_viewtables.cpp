// The preview as the main window performs it: a click on a tree node empties the preview list, refreshes the
// database path from the open-database dialog and, unless the root node was clicked, fills the list with
// up to 10,000 records of the table. One handler catches every failure and shows its description;
// whatever reached the list before stays there.

#include <QLineEdit>
#include <QTreeWidget>
#include <exception>
#include <optional>

#include "gui/catalogue_tree.h"
#include "core/database/preview.h"
#include "gui/preview_list.h"
#include "gui/start.h"
#include "core/value/provider_error.h"
#include "core/settings/settings_store.h"
#include "core/text/locale.h"
#include "gui/platform/prompts.h"
#include "gui/app_title.h"
#include "gui/forms.h"
#include "gui/list_view.h"
#include "gui/tabvert.h"

namespace tabvert::shell {

void Tabvert::clickTreeNode(QTreeWidgetItem* node) {
    if (node == nullptr) return;
    // The node's text is the trimmed name; a table stored with blanks around it (or two tables that trim
    // to the same text) is read by the name the database stores.
    QString tables = database::NodeTableName(*node);
    viewtables(tables);
}

void Tabvert::viewtables(QString& tables) {
    std::optional<QString> failure;
    try {
        previewList()->clearItems();
        previewList()->clearColumns();
        // Reading the dialog loads a fresh, empty one if the user cancelled it; its path then fails to open.
        database::Start& dialog = forms().start();
        dialog.hide();
        dbpath = dialog.databasePathBox()->text();
        if (tables == dbpath) return;  // the root node: the list stays empty

        // A preview is read record by record, so a whole record is what the user points at.
        previewList()->setFullRowSelect(true);
        // The filler shows its rows when it goes away, before any message box below.
        database::PreviewListFiller filler(*previewList(), *progressBar());
        database::RunPreview(database::ReadDatabaseChoice(dialog), tables.toStdString(),
                             settings::SettingsStore(), text::Locale::system(), filler);
    } catch (const ado::ProviderError& error) {
        failure = QString::fromStdString(error.description());
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    if (failure) forms().showMessage(this, *failure);
}

}  // namespace tabvert::shell
