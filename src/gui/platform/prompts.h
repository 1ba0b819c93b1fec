#pragma once
// The one seam through which the program asks the user anything modal: message boxes and the
// common open/save file dialogs. The forms never call QMessageBox or QFileDialog themselves; they
// ask the Prompts installed in their window, so tests can script every answer.

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace tabvert::ui {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Information, Warning, Critical, Question };
enum class Answer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    // The filter as the common dialog control takes it: "description|pattern|description|pattern...".
    QString filter;
    // The name the dialog opens with (the control's FileName before showing).
    QString fileName;
    // Save dialogs: ask before replacing an existing file.
    bool confirmOverwrite = true;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows a message box and waits for the answer.
    virtual Answer message(QWidget* parent, const MessageRequest& request) = 0;
    // Shows a file dialog and waits; nullopt when the user cancelled.
    virtual std::optional<QString> fileDialog(QWidget* parent, const FileDialogRequest& request) = 0;
};

// The real dialogs (QMessageBox, QFileDialog).
std::unique_ptr<Prompts> MakeQtPrompts();

// Turns the common dialog control's "description|pattern|..." filter into Qt's "description (pattern);;..."
// form. Blanks in descriptions and patterns are kept as given; patterns separated by ";" stay together.
QString ToQtFilter(const QString& commonDialogFilter);

// Scripted answers for tests: each question takes the next answer queued for its kind and is recorded.
// A question with no answer queued fails loudly (std::logic_error) instead of blocking.
class ScriptedPrompts : public Prompts {
public:
    void queueAnswer(Answer answer);
    void queueFile(std::optional<QString> file);  // nullopt: the user cancels

    Answer message(QWidget* parent, const MessageRequest& request) override;
    std::optional<QString> fileDialog(QWidget* parent, const FileDialogRequest& request) override;

    const std::vector<MessageRequest>& messages() const { return messages_; }
    const std::vector<FileDialogRequest>& fileDialogs() const { return fileDialogs_; }
    bool allAnswersUsed() const { return answers_.empty() && files_.empty(); }

private:
    std::vector<Answer> answers_;
    std::vector<std::optional<QString>> files_;
    std::vector<MessageRequest> messages_;
    std::vector<FileDialogRequest> fileDialogs_;
};

}  // namespace tabvert::ui
