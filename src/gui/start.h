#pragma once
// The open-database dialog `start`: the user names the database file, says whether it is protected and
// types its password. After OK it stays loaded but hidden, and its three controls txtDB, pwdcheck and
// password are the store of the database choice that every later run reads afresh.

#include <QDialog>
#include <QString>

#include "core/database_choice.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tabvert::shell {
class Forms;
}

namespace tabvert::database {

class Start : public QDialog {
    Q_OBJECT

public:
    explicit Start(shell::Forms& forms, QWidget* parent = nullptr);
    ~Start() override;

    QPushButton* OKButton() const { return OKButton_; }
    QPushButton* CancelButton() const { return CancelButton_; }
    QGroupBox* Frame1() const { return Frame1_; }
    QLabel* Label1() const { return Label1_; }
    QLabel* Label2() const { return Label2_; }
    QLabel* Label3() const { return Label3_; }
    QLineEdit* txtDB() const { return txtDB_; }
    QPushButton* Command1() const { return Command1_; }
    QCheckBox* pwdcheck() const { return pwdcheck_; }
    QLineEdit* password() const { return password_; }

    // The value of the check box as the runs test it: 1 checked, 0 not.
    int pwdcheckValue() const;

    // Shows the dialog application-modal and returns once it is hidden (OK with a path) or unloaded
    // (Cancel, close box). Unlike QDialog::exec it may be entered again while an earlier showing is
    // still on the stack, which is what the catalogue's password retry does.
    void showModal();

    // Button handlers, public so that the main window's commands and tests can press them as a user
    // would.
    void Command1_Click();
    void OKButton_Click();
    void CancelButton_Click();

    // The file name the last Browse brought back (the common dialog's FileName, also after a cancel).
    const QString& fileName() const { return FileName_; }

signals:
    // Emitted whenever the dialog stops being shown; ends every showModal() on the stack.
    void hidden();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void pwdcheck_Click();
    void applyLoadColours();

    shell::Forms& forms_;
    QString FileName_;

    QPushButton* OKButton_;
    QPushButton* CancelButton_;
    QGroupBox* Frame1_;
    QLabel* Label1_;
    QLineEdit* txtDB_;
    QPushButton* Command1_;
    QCheckBox* pwdcheck_;
    QLabel* Label2_;
    QLabel* Label3_;
    QLineEdit* password_;
};

// The database choice as the dialog holds it now: txtDB's text unchanged, the pwdcheck value and the
// password text as typed.
DatabaseChoice ReadDatabaseChoice(const Start& start);
// Same, loading a fresh dialog first when none is loaded (after Cancel that gives an empty path).
DatabaseChoice ReadDatabaseChoice(shell::Forms& forms);

}  // namespace tabvert::database
