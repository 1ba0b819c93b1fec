#pragma once
// A file dialog component as the main window owns two of them (save and open): it keeps its Filter and
// FileName between showings, and a showing changes FileName only when the user chose a file.

#include <QString>

class QWidget;

namespace tabvert::ui {
class Prompts;
}

namespace tabvert::shell {

class CommonDialog {
  public:
    // owner: the window the dialog is modal to. prompts must outlive the component.
    CommonDialog(ui::Prompts& prompts, QWidget* owner) : prompts_(&prompts), owner_(owner) {}

    // "description|pattern|description|pattern..." as the user sees it in the type list.
    QString Filter;
    // The chosen file; the dialog opens with it filled in.
    QString FileName;
    // The file type (1-based position in Filter) selected when the dialog last closed with a file.
    int FilterIndex = 1;

    // Show the dialog and wait. On OK FileName takes the chosen name; on cancel it keeps its value.
    // Returns whether the user chose a file (callers that follow the cancel-keeps-the-name rule may
    // ignore it).
    bool ShowOpen();
    bool ShowSave();

    // The extension of the file type selected at FilterIndex, without its dot: "xlsx" for a pattern
    // "*.xlsx"; empty for a pattern that names no single extension ("*.*", "*", "*.xl?", several).
    QString FilterExtension() const;

  private:
    bool Show(bool save);

    ui::Prompts* prompts_;
    QWidget* owner_;
};

}  // namespace tabvert::shell
