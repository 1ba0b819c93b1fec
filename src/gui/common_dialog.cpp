#include "gui/common_dialog.h"

#include "gui/platform/prompts.h"

namespace tabvert::shell {

bool CommonDialog::ShowOpen() { return show(false); }

bool CommonDialog::ShowSave() { return show(true); }

bool CommonDialog::show(bool save) {
    ui::FileDialogRequest request;
    request.kind = save ? ui::FileDialogKind::Save : ui::FileDialogKind::Open;
    request.filter = Filter;
    request.fileName = FileName;
    const std::optional<QString> chosen = prompts_->fileDialog(owner_, request);
    if (!chosen) return false;
    FileName = *chosen;
    return true;
}

}  // namespace tabvert::shell
