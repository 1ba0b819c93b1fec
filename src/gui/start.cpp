#include "gui/start.h"
#include "gui/platform/centre.h"

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

#include "gui/platform/prompts.h"
#include "gui/app_title.h"
#include "gui/common_dialog.h"
#include "gui/forms.h"
#include "gui/look.h"
#include "gui/pictures.h"
#include "gui/tabvert.h"

namespace tabvert::shell {

database::Start& Forms::start() {
    return load<database::Start>(Form::start, [this] { return new database::Start(*this); });
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

// Positions and sizes are the form's twips divided by 15.
QRect Twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

QFont FormFont(bool bold) { return shell::WindowFont(bold); }

void SetBackground(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(role == QPalette::Window);
}

QPushButton* MakeButton(const QString& caption, QWidget* parent, const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(place);
    button->setFont(FormFont(false));
    // No button is the default or cancel button: Enter and Escape press neither.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// A label that keeps its left and top edges and takes the width of its caption on one line.
QLabel* MakeAutoSizeLabel(const QString& caption, QWidget* parent, const QRect& place, bool bold) {
    auto* label = new QLabel(caption, parent);
    label->setFont(FormFont(bold));
    label->move(place.topLeft());
    label->adjustSize();
    return label;
}

}  // namespace

Start::Start(shell::Forms& forms, QWidget* parent) : QDialog(parent), forms_(forms) {
    setObjectName(QStringLiteral("start"));
    setWindowTitle(QStringLiteral("Open Access Database File"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(7725 / 15, 3375 / 15);
    setFont(FormFont(false));
    shell::pictures::Register();
    setWindowIcon(QIcon(QString::fromUtf8(shell::pictures::kIcon)));

    OKButton_ = MakeButton(QStringLiteral("OK"), this, Twips(2280, 2880, 1335, 375));
    CancelButton_ = MakeButton(QStringLiteral("Cancel"), this, Twips(4200, 2880, 1215, 375));

    Frame1_ = new QGroupBox(QStringLiteral("Select Access Database File"), this);
    Frame1_->setGeometry(Twips(120, 240, 7455, 2415));
    Frame1_->setFont(FormFont(true));  // the caption; every child below sets its own font

    Label1_ =
        MakeAutoSizeLabel(QStringLiteral("Select Access File"), Frame1_, Twips(120, 480, 1590, 195), true);

    txtDB_ = new QLineEdit(Frame1_);
    txtDB_->setGeometry(Twips(1800, 360, 4095, 375));
    txtDB_->setFont(FormFont(false));

    Command1_ = MakeButton(QStringLiteral("Browse"), Frame1_, Twips(6000, 360, 1215, 375));

    pwdcheck_ = new QCheckBox(Frame1_);
    pwdcheck_->setGeometry(Twips(480, 1200, 255, 255));
    pwdcheck_->setFont(FormFont(false));

    Label2_ = new QLabel(
        QStringLiteral("Please mention the DB Password! if Access database is protected with password"),
        Frame1_);
    Label2_->setGeometry(Twips(720, 1200, 6375, 255));
    Label2_->setFont(FormFont(false));

    Label3_ = MakeAutoSizeLabel(QStringLiteral("Supply Correct Password: "), Frame1_,
                                Twips(120, 1680, 2250, 195), true);

    password_ = new QLineEdit(Frame1_);
    password_->setGeometry(Twips(2400, 1560, 3495, 375));
    password_->setFont(FormFont(false));
    password_->setEchoMode(QLineEdit::Normal);  // characters shown as typed
    password_->setEnabled(false);

    const std::pair<QWidget*, const char*> names[] = {
        {OKButton_, "OKButton"}, {CancelButton_, "CancelButton"},
        {Frame1_, "Frame1"},     {Label1_, "Label1"},
        {txtDB_, "txtDB"},       {Command1_, "Command1"},
        {pwdcheck_, "pwdcheck"}, {Label2_, "Label2"},
        {Label3_, "Label3"},     {password_, "password"}};
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));

    setTabOrder(OKButton_, CancelButton_);
    setTabOrder(CancelButton_, txtDB_);
    setTabOrder(txtDB_, Command1_);
    setTabOrder(Command1_, pwdcheck_);
    setTabOrder(pwdcheck_, password_);

    connect(OKButton_, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton_, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    // The check box's click runs on every change of its value, by the user or by code.
    connect(pwdcheck_, &QCheckBox::stateChanged, this, [this] { pwdcheck_Click(); });

    applyLoadColours();
}

Start::~Start() = default;

void Start::applyLoadColours() {
    for (QWidget* widget :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1_), static_cast<QWidget*>(Label1_),
          static_cast<QWidget*>(Label2_), static_cast<QWidget*>(Label3_), static_cast<QWidget*>(pwdcheck_)}) {
        SetBackground(widget, QPalette::Window, kLightGreen);
    }
    SetBackground(password_, QPalette::Base, kPasswordDisabled);
}

int Start::pwdcheckValue() const { return pwdcheck_->isChecked() ? 1 : 0; }

void Start::showModal() {
    QPointer<Start> self(this);
    QEventLoop loop;
    connect(this, &Start::hidden, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    setWindowModality(Qt::ApplicationModal);
    show();
    if (self && isVisible()) loop.exec(QEventLoop::DialogExec);
}

void Start::Command1_Click() {
    shell::CommonDialog& cdg1 = forms_.tabvert().cdg1();
    cdg1.Filter = QString::fromLatin1(kBrowseFilter);
    cdg1.ShowOpen();
    // The common dialog keeps its earlier FileName when cancelled, so a cancel writes that name back
    // (or empties the box before any choice).
    FileName_ = cdg1.FileName;
    txtDB_->setText(FileName_);
}

void Start::pwdcheck_Click() {
    if (pwdcheckValue() == 1) {
        password_->setEnabled(true);
        SetBackground(password_, QPalette::Base, kPasswordEnabled);
    } else {
        password_->setEnabled(false);
        SetBackground(password_, QPalette::Base, kPasswordDisabled);
        password_->clear();
    }
}

void Start::OKButton_Click() {
    if (!txtDB_->text().isEmpty()) {
        forms_.tabvert().openaccessfile();
        return;
    }
    forms_.showMessage(this, QString::fromLatin1(kNoPathMessage));
}

void Start::CancelButton_Click() { forms_.unload(shell::Forms::Form::start); }

void Start::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog; neither button is the cancel button, so it does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Start::closeEvent(QCloseEvent* event) {
    event->accept();
    // The close box (a close request from the window system) unloads the form, as Cancel does. A close
    // requested by the program comes from the registry's own unload.
    if (event->spontaneous()) forms_.unload(shell::Forms::Form::start);
}

void Start::showEvent(QShowEvent* event) {
    ui::CentreOnScreen(*this, frameGeometry().size());
    QDialog::showEvent(event);
}

void Start::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!isVisible()) emit hidden();
}

DatabaseChoice ReadDatabaseChoice(const Start& start) {
    return DatabaseChoice{start.txtDB()->text().toStdString(), start.pwdcheckValue(),
                          start.password()->text().toStdString()};
}

DatabaseChoice ReadDatabaseChoice(shell::Forms& forms) { return ReadDatabaseChoice(forms.start()); }

}  // namespace tabvert::database
