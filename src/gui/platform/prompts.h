#pragma once
// The one seam through which the program asks the user anything modal: message boxes and the
// common open/save file dialogs. The windows never call QMessageBox or QFileDialog themselves; they
// ask the Prompts installed in their window, so tests can script every answer.

#include <QString>
#include <QStringList>
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
    // Longer text kept behind the box's "Show Details..." button, where it can be scrolled, selected
    // and copied; no such button when empty.
    QString details;
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

// What the user chose in a file dialog: the file, and the 1-based position in the filter of the file
// type that was selected when the dialog closed.
struct FileChoice {
    QString file;
    int filterIndex = 1;
};

class Prompts {
  public:
    virtual ~Prompts() = default;
    // Shows a message box and waits for the answer.
    virtual Answer Message(QWidget* parent, const MessageRequest& request) = 0;
    // Shows a file dialog and waits; nullopt when the user cancelled.
    virtual std::optional<FileChoice> FileDialog(QWidget* parent, const FileDialogRequest& request) = 0;
};

// The real dialogs (QMessageBox, QFileDialog).
std::unique_ptr<Prompts> MakeQtPrompts();

// Turns the common dialog control's "description|pattern|..." filter into Qt's name filters, one
// "description (patterns)" per pair. A description that already ends in its patterns in parentheses
// shows them once; "*.*", which matches every file on Windows, becomes "*", which does so here.
QStringList ToQtFilters(const QString& commonDialogFilter);

// The smallest width at which a window manager can show `title` whole in a dialog's title bar, beside
// the window's icon and its buttons.
int TitleBarWidth(const QString& title);

// Scripted answers for tests: each question takes the next answer queued for its kind and is recorded.
// A question with no answer queued fails loudly (std::logic_error) instead of blocking.
class ScriptedPrompts : public Prompts {
  public:
    void QueueAnswer(Answer answer);
    // nullopt: the user cancels; filterIndex: the file type selected (1-based).
    void QueueFile(std::optional<QString> file, int filterIndex = 1);

    Answer Message(QWidget* parent, const MessageRequest& request) override;
    std::optional<FileChoice> FileDialog(QWidget* parent, const FileDialogRequest& request) override;

    const std::vector<MessageRequest>& Messages() const { return messages_; }
    const std::vector<FileDialogRequest>& FileDialogs() const { return fileDialogs_; }
    bool AllAnswersUsed() const { return answers_.empty() && files_.empty(); }

  private:
    std::vector<Answer> answers_;
    std::vector<std::optional<FileChoice>> files_;
    std::vector<MessageRequest> messages_;
    std::vector<FileDialogRequest> fileDialogs_;
};

}  // namespace tabvert::ui
