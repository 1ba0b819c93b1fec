// The about box: its picture, its OK button and its placement on every showing.
#include "gui/about_box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "core/common/twips.h"
#include "gui/app_title.h"
#include "gui/look.h"
#include "gui/pictures.h"
#include "gui/platform/centre.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {

// Designed in twips.
constexpr QSize kClientSize{TwipsToPixels(4665), TwipsToPixels(4560)};  // 311 x 304, the picture's size
constexpr QRect kOkButton{TwipsToPixels(1920), TwipsToPixels(4080), TwipsToPixels(855),
                          TwipsToPixels(375)};  // 128,272 57 x 25

}  // namespace

AboutBox& Windows::aboutBox() {
    return Load<AboutBox>(Window::AboutBox, [] { return new AboutBox(); });
}

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      okButton_(new QPushButton(QStringLiteral("OK"), this)) {
    pictures::Register();
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(AppTitle));
    setWindowIcon(QIcon(QString::fromUtf8(pictures::kIcon)));
    setFont(WindowFont());
    setFixedSize(kClientSize);
    setSizeGripEnabled(false);
    picture_ = QPixmap(QString::fromUtf8(pictures::kAbout));

    okButton_->setObjectName(QStringLiteral("cmdOK"));
    okButton_->setGeometry(kOkButton);
    // Not the default button, and not one that becomes default when it has the focus: Enter does nothing.
    okButton_->setAutoDefault(false);
    okButton_->setDefault(false);
    okButton_->setFocusPolicy(Qt::StrongFocus);
    connect(okButton_, &QPushButton::clicked, this, &AboutBox::close);
}

void AboutBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, picture_);
}

void AboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui::CentreOnScreen(*this);
    // Shown without an owner, but kept out of the taskbar: a window manager lists no transient window,
    // so the box is made transient for the window that was active when it opened.
    if (QWindow* window = windowHandle(); window && !window->transientParent()) {
        if (QWidget* active = QApplication::activeWindow(); active && active != this)
            window->setTransientParent(active->windowHandle());
    }
    okButton_->setFocus(Qt::OtherFocusReason);
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
    // The box has no cancel button, so Escape closes nothing; QDialog would reject on it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tabvert::shell
