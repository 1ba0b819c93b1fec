// File > Export to Excel and toolbar button 2: asks for the target workbook and starts the export run.

#include <QLineEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "core/export/export_target.h"
#include "core/workbook/file_format.h"
#include "gui/app_title.h"
#include "gui/main_window.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

int NodeCount(const QTreeWidget& tree) {
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) ++count;
    return count;
}

}  // namespace

void MainWindow::ClickExport() {
    if (NodeCount(*tableTree()) == 0) {
        windows().ShowMessage(this, QStringLiteral("Please open access database file."));
        return;
    }
    TargetPathBox()->setText(QString());

    SaveDialog().FileName = QString();
    SaveDialog().Filter = QString::fromUtf8(exporting::kSaveDialogFilter);
    SaveDialog().ShowSave();

    // A name typed without an extension takes that of the file type chosen in the dialog ("All
    // files" names none: the save then decides as for any name without one).
    std::string chosen = SaveDialog().FileName.toStdString();
    const std::string typeExtension = SaveDialog().FilterExtension().toStdString();
    if (!chosen.empty() && !typeExtension.empty())
        chosen = excel::WithDefaultExtension(chosen, typeExtension);
    TargetPathBox()->setText(QString::fromStdString(exporting::ReplaceMdbEnding(chosen)));
    const std::string workingPath = TargetPathBox()->text().toStdString();
    if (workingPath.empty()) return;
    ExportTo(QString::fromStdString(exporting::CollapseTripleBackslashes(workingPath)));
}

}  // namespace tabvert::shell
