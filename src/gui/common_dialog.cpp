// The file dialog component: its showings through the Prompts and the extension of its chosen file type.
#include "gui/common_dialog.h"

#include <QRegularExpression>
#include <QStringList>

#include "gui/platform/prompts.h"

namespace tabvert::shell {

bool CommonDialog::ShowOpen() { return Show(false); }

bool CommonDialog::ShowSave() { return Show(true); }

QString CommonDialog::FilterExtension() const {
    const QStringList parts = Filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * static_cast<qsizetype>(FilterIndex) - 1;
    if (FilterIndex < 1 || at >= parts.size()) return {};
    const QString pattern = parts[at].trimmed();
    if (!pattern.startsWith(QLatin1String("*."))) return {};
    const QString extension = pattern.mid(2);
    const bool plain =
        !extension.isEmpty() && !extension.contains(QRegularExpression(QStringLiteral("[*?;\\[\\]. ]")));
    return plain ? extension : QString();
}

bool CommonDialog::Show(bool save) {
    ui::FileDialogRequest request;
    request.kind = save ? ui::FileDialogKind::Save : ui::FileDialogKind::Open;
    request.filter = Filter;
    request.fileName = FileName;
    const std::optional<ui::FileChoice> chosen = prompts_->FileDialog(owner_, request);
    if (!chosen) return false;
    FileName = chosen->file;
    FilterIndex = chosen->filterIndex;
    return true;
}

}  // namespace tabvert::shell
