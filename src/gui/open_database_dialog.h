#pragma once
// The open-database dialog: the user names the database file, says whether it is protected and
// types its password. After OK it stays loaded but hidden, and its three controls (path box, check box,
// password box) are the store of the database choice that every later run reads afresh. Each control's
// objectName is its design name (txtDB, pwdcheck, password, ...).

#include <QDialog>
#include <QString>

#include "core/database/database_choice.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tabvert::shell {
class Windows;
}

namespace tabvert::database {

class OpenDatabaseDialog : public QDialog {
    Q_OBJECT

  public:
    explicit OpenDatabaseDialog(shell::Windows& windows, QWidget* parent = nullptr);
    ~OpenDatabaseDialog() override;

    QPushButton* OkButton() const { return okButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QLineEdit* DatabasePathBox() const { return databasePathBox_; }
    QPushButton* BrowseButton() const { return browseButton_; }
    QCheckBox* PasswordCheck() const { return passwordCheck_; }
    QLineEdit* PasswordBox() const { return passwordBox_; }

    // Whether the database is declared password-protected (the check box is checked).
    bool PasswordProtected() const;

    // Shows the dialog application-modal and returns once it is hidden (OK with a path) or unloaded
    // (Cancel, close box). Unlike QDialog::exec it may be entered again while an earlier showing is
    // still on the stack, which is what the catalogue's password retry does.
    void ShowModal();

    // Button handlers, public so that the main window's commands and tests can press them as a user
    // would.
    void ClickBrowse();
    void ClickOk();
    void ClickCancel();

  signals:
    // Emitted whenever the dialog stops being shown; ends every ShowModal() on the stack.
    void Hidden();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void UpdatePasswordBox();
    void ApplyLoadColours();

    shell::Windows& windows_;

    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QGroupBox* databaseFrame_;
    QLabel* pathCaption_;
    QLineEdit* databasePathBox_;
    QPushButton* browseButton_;
    QCheckBox* passwordCheck_;
    QLabel* passwordHint_;
    QLabel* passwordCaption_;
    QLineEdit* passwordBox_;
};

// The database choice as the dialog holds it now: the path box's text unchanged, the check box's state
// and the password text as typed.
DatabaseChoice ReadDatabaseChoice(const OpenDatabaseDialog& dialog);
// Same, loading a fresh dialog first when none is loaded (after Cancel that gives an empty path).
DatabaseChoice ReadDatabaseChoice(shell::Windows& windows);

}  // namespace tabvert::database
