#include "gui/frmsplash.h"
#include "gui/platform/centre.h"

#include "gui/forms.h"
#include "gui/pictures.h"
#include "gui/tabvert.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace tabvert::shell {

namespace {
// Client area 5220 x 3165 twips: the picture's two rightmost columns and three bottom rows are cut off.
constexpr QSize kClientSize{348, 211};
}  // namespace

FrmSplash::FrmSplash(Forms& forms, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      forms_(&forms),
      timer1_(new QTimer(this)) {
    pictures::Register();
    setObjectName(QStringLiteral("frmSplash"));
    picture_ = QPixmap(QString::fromUtf8(pictures::kSplash));
    setFixedSize(kClientSize);
    setFocusPolicy(Qt::StrongFocus);
    ui::CentreOnScreen(*this);

    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(kIntervalMs);
    connect(timer1_, &QTimer::timeout, this, &FrmSplash::Timer1_Timer);
    timer1_->start();
}

void FrmSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, picture_);
}

void FrmSplash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A splash window is not activated by every window manager; it needs the keyboard for its key press.
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void FrmSplash::keyPressEvent(QKeyEvent* event) {
    // Only keys that produce a character count: letters, digits, space, Enter, Escape. Shift, the arrows
    // and the function keys produce none.
    if (event->text().isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    Form_KeyPress();
}

void FrmSplash::Timer1_Timer() {
    // The timer goes with the window, so the hand-over runs once; stopping it here also keeps a second
    // tick from arriving before the deferred release.
    timer1_->stop();
    Forms& forms = *forms_;
    forms.unload(Forms::Form::frmSplash);
    forms.tabvert().show();
}

void FrmSplash::Form_KeyPress() {
    timer1_->stop();
    forms_->unload(Forms::Form::frmSplash);
}

}  // namespace tabvert::shell
