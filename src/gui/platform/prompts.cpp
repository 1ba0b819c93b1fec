#include "gui/platform/prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include <stdexcept>

namespace tabvert::ui {

namespace {

class QtPrompts : public Prompts {
public:
    Answer message(QWidget* parent, const MessageRequest& r) override {
        QMessageBox box(parent);
        box.setWindowTitle(r.title);
        box.setText(r.text);
        switch (r.icon) {
            case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
            case Icon::Information: box.setIcon(QMessageBox::Information); break;
            case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
            case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
            case Icon::Question: box.setIcon(QMessageBox::Question); break;
        }
        if (r.buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }

    std::optional<QString> fileDialog(QWidget* parent, const FileDialogRequest& r) override {
        QFileDialog dialog(parent);
        dialog.setNameFilter(ToQtFilter(r.filter));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        if (r.kind == FileDialogKind::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (!r.fileName.isEmpty()) dialog.selectFile(r.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().front();
    }
};

}  // namespace

std::unique_ptr<Prompts> MakeQtPrompts() { return std::make_unique<QtPrompts>(); }

QString ToQtFilter(const QString& commonDialogFilter) {
    const QStringList parts = commonDialogFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (auto& p : patterns) p = p.trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(' '));
    }
    return filters.join(QStringLiteral(";;"));
}

void ScriptedPrompts::queueAnswer(Answer answer) { answers_.push_back(answer); }

void ScriptedPrompts::queueFile(std::optional<QString> file) { files_.push_back(std::move(file)); }

Answer ScriptedPrompts::message(QWidget*, const MessageRequest& request) {
    messages_.push_back(request);
    if (request.buttons == Buttons::Ok && (answers_.empty() || answers_.front() != Answer::Ok)) {
        return Answer::Ok;  // an OK-only box has one possible answer
    }
    if (answers_.empty())
        throw std::logic_error("unexpected question: " + request.text.toStdString());
    const Answer a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

std::optional<QString> ScriptedPrompts::fileDialog(QWidget*, const FileDialogRequest& request) {
    fileDialogs_.push_back(request);
    if (files_.empty()) throw std::logic_error("unexpected file dialog");
    auto f = files_.front();
    files_.erase(files_.begin());
    return f;
}

}  // namespace tabvert::ui
