// File > Export to Excel and toolbar button 2: asks for the target workbook and starts the export run.

#include <QLineEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "core/export_target.h"
#include "gui/platform/prompts.h"
#include "gui/app_title.h"
#include "gui/forms.h"
#include "gui/tabvert.h"

namespace tabvert::shell {

namespace {

int NodeCount(const QTreeWidget& tree) {
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) ++count;
    return count;
}

}  // namespace

void Tabvert::ExporttoExcel_Click() {
    if (NodeCount(*TreeView1()) == 0) {
        forms().showMessage(this, QStringLiteral("Please open access database file."));
        return;
    }
    txtEXL()->setText(QString());

    savedlg().FileName = QString();
    savedlg().Filter = QString::fromUtf8(exporting::kSaveDialogFilter);
    savedlg().ShowSave();

    txtEXL()->setText(QString::fromStdString(exporting::ReplaceMdbEnding(savedlg().FileName.toStdString())));
    const std::string workingPath = txtEXL()->text().toStdString();
    if (workingPath.empty()) return;
    exportdata(QString::fromStdString(exporting::CollapseTripleBackslashes(workingPath)));
}

}  // namespace tabvert::shell
