// The open-database dialog: its controls in their design places, Browse, OK and Cancel, and the modal
// showing that the catalogue's password retry may enter again.
#include "gui/open_database_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "core/common/twips.h"
#include "gui/app_title.h"
#include "gui/common_dialog.h"
#include "gui/look.h"
#include "gui/main_window.h"
#include "gui/pictures.h"
#include "gui/platform/centre.h"
#include "gui/platform/dialog_frame.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {

database::OpenDatabaseDialog& Windows::OpenDatabaseDialog() {
    return Load<database::OpenDatabaseDialog>(Window::OpenDatabaseDialog,
                                              [this] { return new database::OpenDatabaseDialog(*this); });
}

}  // namespace tabvert::shell

namespace tabvert::database {

namespace {

const QColor kLightGreen(202, 255, 126);
const QColor kPasswordDisabled(218, 235, 194);
const QColor kPasswordEnabled(243, 247, 236);

const char* const kBrowseFilter =
    "Select Access Database (*.mdb)|*.mdb| Access Database(*.mde)|*.mde| Access Database 2007-2010 "
    "(*.accdb)|*.accdb| All files (*.*)|*.*  ";
const char* const kNoPathMessage =
    "Please Select Required Access Database file from your computer and then click on OK button";

// Positions and sizes are given in the dialog's design twips.
QRect Twips(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

QFont DialogFont(bool bold) { return shell::WindowFont(bold); }

void SetBackground(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(role == QPalette::Window);
}

QPushButton* MakeButton(const QString& caption, QWidget* parent, const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(place);
    button->setFont(DialogFont(false));
    // No button is the default or cancel button: Enter and Escape press neither.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// A label that keeps its left and top edges and takes the width of its caption on one line.
QLabel* MakeAutoSizeLabel(const QString& caption, QWidget* parent, const QRect& place, bool bold) {
    auto* label = new QLabel(caption, parent);
    label->setFont(DialogFont(bold));
    label->move(place.topLeft());
    label->adjustSize();
    return label;
}

}  // namespace

OpenDatabaseDialog::OpenDatabaseDialog(shell::Windows& windows, QWidget* parent)
    : QDialog(parent), windows_(windows) {
    setObjectName(QStringLiteral("start"));
    setWindowTitle(QStringLiteral("Open Access Database File"));
    setWindowFlags(ui::kFixedDialogFlags);
    setFixedSize(TwipsToPixels(7725), TwipsToPixels(3375));
    setFont(DialogFont(false));
    shell::pictures::Register();
    setWindowIcon(QIcon(QString::fromUtf8(shell::pictures::kIcon)));

    okButton_ = MakeButton(QStringLiteral("OK"), this, Twips(2280, 2880, 1335, 375));
    cancelButton_ = MakeButton(QStringLiteral("Cancel"), this, Twips(4200, 2880, 1215, 375));

    databaseFrame_ = new QGroupBox(QStringLiteral("Select Access Database File"), this);
    databaseFrame_->setGeometry(Twips(120, 240, 7455, 2415));
    databaseFrame_->setFont(DialogFont(true));  // the caption; every child below sets its own font

    pathCaption_ = MakeAutoSizeLabel(QStringLiteral("Select Access File"), databaseFrame_,
                                     Twips(120, 480, 1590, 195), true);

    databasePathBox_ = new QLineEdit(databaseFrame_);
    databasePathBox_->setGeometry(Twips(1800, 360, 4095, 375));
    databasePathBox_->setFont(DialogFont(false));

    browseButton_ = MakeButton(QStringLiteral("Browse"), databaseFrame_, Twips(6000, 360, 1215, 375));

    passwordCheck_ = new QCheckBox(databaseFrame_);
    passwordCheck_->setGeometry(Twips(480, 1200, 255, 255));
    passwordCheck_->setFont(DialogFont(false));

    passwordHint_ = new QLabel(
        QStringLiteral("Please mention the DB Password! if Access database is protected with password"),
        databaseFrame_);
    passwordHint_->setGeometry(Twips(720, 1200, 6375, 255));
    passwordHint_->setFont(DialogFont(false));

    passwordCaption_ = MakeAutoSizeLabel(QStringLiteral("Supply Correct Password: "), databaseFrame_,
                                         Twips(120, 1680, 2250, 195), true);

    passwordBox_ = new QLineEdit(databaseFrame_);
    passwordBox_->setGeometry(Twips(2400, 1560, 3495, 375));
    passwordBox_->setFont(DialogFont(false));
    passwordBox_->setEchoMode(QLineEdit::Normal);  // characters shown as typed
    passwordBox_->setEnabled(false);

    const std::pair<QWidget*, const char*> names[] = {
        {okButton_, "OKButton"},      {cancelButton_, "CancelButton"}, {databaseFrame_, "Frame1"},
        {pathCaption_, "Label1"},     {databasePathBox_, "txtDB"},     {browseButton_, "Command1"},
        {passwordCheck_, "pwdcheck"}, {passwordHint_, "Label2"},       {passwordCaption_, "Label3"},
        {passwordBox_, "password"}};
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, databasePathBox_);
    setTabOrder(databasePathBox_, browseButton_);
    setTabOrder(browseButton_, passwordCheck_);
    setTabOrder(passwordCheck_, passwordBox_);

    connect(okButton_, &QPushButton::clicked, this, [this] { ClickOk(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { ClickCancel(); });
    connect(browseButton_, &QPushButton::clicked, this, [this] { ClickBrowse(); });
    // The check box's click runs on every change of its value, by the user or by code.
    connect(passwordCheck_, &QCheckBox::stateChanged, this, [this] { UpdatePasswordBox(); });

    ApplyLoadColours();
}

OpenDatabaseDialog::~OpenDatabaseDialog() = default;

void OpenDatabaseDialog::ApplyLoadColours() {
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(databaseFrame_),
                            static_cast<QWidget*>(pathCaption_), static_cast<QWidget*>(passwordHint_),
                            static_cast<QWidget*>(passwordCaption_), static_cast<QWidget*>(passwordCheck_)}) {
        SetBackground(widget, QPalette::Window, kLightGreen);
    }
    SetBackground(passwordBox_, QPalette::Base, kPasswordDisabled);
}

bool OpenDatabaseDialog::PasswordProtected() const { return passwordCheck_->isChecked(); }

void OpenDatabaseDialog::ShowModal() {
    QPointer<OpenDatabaseDialog> self(this);
    QEventLoop loop;
    connect(this, &OpenDatabaseDialog::Hidden, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    setWindowModality(Qt::ApplicationModal);
    show();
    if (self && isVisible()) loop.exec(QEventLoop::DialogExec);
}

void OpenDatabaseDialog::ClickBrowse() {
    shell::CommonDialog& openDialog = windows_.mainWindow().OpenDialog();
    openDialog.Filter = QString::fromLatin1(kBrowseFilter);
    openDialog.ShowOpen();
    // The common dialog keeps its earlier FileName when cancelled, so a cancel writes that name back
    // (or empties the box before any choice).
    databasePathBox_->setText(openDialog.FileName);
}

void OpenDatabaseDialog::UpdatePasswordBox() {
    if (PasswordProtected()) {
        passwordBox_->setEnabled(true);
        SetBackground(passwordBox_, QPalette::Base, kPasswordEnabled);
    } else {
        passwordBox_->setEnabled(false);
        SetBackground(passwordBox_, QPalette::Base, kPasswordDisabled);
        passwordBox_->clear();
    }
}

void OpenDatabaseDialog::ClickOk() {
    if (!databasePathBox_->text().isEmpty()) {
        windows_.mainWindow().OpenDatabase();
        return;
    }
    windows_.ShowMessage(this, QString::fromLatin1(kNoPathMessage));
}

void OpenDatabaseDialog::ClickCancel() { windows_.Unload(shell::Windows::Window::OpenDatabaseDialog); }

void OpenDatabaseDialog::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog; neither button is the cancel button, so it does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void OpenDatabaseDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    // The close box (a close request from the window system) unloads the dialog, as Cancel does. A close
    // requested by the program comes from the registry's own unload.
    if (event->spontaneous()) windows_.Unload(shell::Windows::Window::OpenDatabaseDialog);
}

void OpenDatabaseDialog::showEvent(QShowEvent* event) {
    // Shown without an owner, yet kept with the main window (above it, minimised with it).
    if (windows_.IsLoaded(shell::Windows::Window::MainWindow))
        ui::KeepWithOwner(*this, &windows_.mainWindow());
    ui::CentreOnScreen(*this);
    QDialog::showEvent(event);
}

void OpenDatabaseDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!isVisible()) emit Hidden();
}

DatabaseChoice ReadDatabaseChoice(const OpenDatabaseDialog& dialog) {
    return DatabaseChoice{dialog.DatabasePathBox()->text().toStdString(), dialog.PasswordProtected(),
                          dialog.PasswordBox()->text().toStdString()};
}

DatabaseChoice ReadDatabaseChoice(shell::Windows& windows) {
    return ReadDatabaseChoice(windows.OpenDatabaseDialog());
}

}  // namespace tabvert::database
