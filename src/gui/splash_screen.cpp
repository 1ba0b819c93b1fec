// The splash screen: its picture, its hand-over timer and the key press that ends the program.
#include "gui/splash_screen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "gui/main_window.h"
#include "gui/pictures.h"
#include "gui/platform/centre.h"
#include "gui/windows.h"

namespace tabvert::shell {

namespace {
// Client area 5220 x 3165 twips: the picture's two rightmost columns and three bottom rows are cut off.
constexpr QSize kClientSize{348, 211};
}  // namespace

SplashScreen::SplashScreen(Windows& windows, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      windows_(&windows),
      handOverTimer_(new QTimer(this)) {
    pictures::Register();
    setObjectName(QStringLiteral("frmSplash"));
    picture_ = QPixmap(QString::fromUtf8(pictures::kSplash));
    setFixedSize(kClientSize);
    setFocusPolicy(Qt::StrongFocus);
    ui::CentreOnScreen(*this);

    handOverTimer_->setObjectName(QStringLiteral("Timer1"));
    handOverTimer_->setInterval(kIntervalMs);
    connect(handOverTimer_, &QTimer::timeout, this, &SplashScreen::HandOverToMainWindow);
    handOverTimer_->start();
}

void SplashScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, picture_);
}

void SplashScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A splash window is not activated by every window manager; it needs the keyboard for its key press.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void SplashScreen::keyPressEvent(QKeyEvent* event) {
    // Only keys that produce a character count: letters, digits, space, Enter, Escape. Shift, the arrows
    // and the function keys produce none.
    if (event->text().isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    CloseWithoutMainWindow();
}

void SplashScreen::HandOverToMainWindow() {
    // The timer goes with the window, so the hand-over runs once; stopping it here also keeps a second
    // tick from arriving before the deferred release.
    handOverTimer_->stop();
    Windows& windows = *windows_;
    windows.Unload(Windows::Window::SplashScreen);
    windows.mainWindow().show();
}

void SplashScreen::CloseWithoutMainWindow() {
    handOverTimer_->stop();
    windows_->Unload(Windows::Window::SplashScreen);
}

}  // namespace tabvert::shell
