#include "gui/forms.h"

#include "gui/platform/prompts.h"
#include "gui/app_title.h"
#include "gui/frmsplash.h"
#include "gui/tabvert.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

namespace tabvert::shell {

Forms::Forms(ui::Prompts& prompts) : prompts_(&prompts) {}

Forms::~Forms() {
    for (QPointer<QWidget>& window : windows_) delete window.data();
    for (QPointer<QWidget>& window : released_) delete window.data();
}

FrmSplash& Forms::frmSplash() {
    return load<FrmSplash>(Form::frmSplash, [this] { return new FrmSplash(*this); });
}

Tabvert& Forms::tabvert() {
    return load<Tabvert>(Form::tabvert, [this] { return new Tabvert(*this); });
}

bool Forms::unload(Form which) {
    QPointer<QWidget>& window = slot(which);
    if (window.isNull()) return true;
    QPointer<QWidget> w = window;
    if (which == Form::tabvert) {
        if (!w->close()) return false;
    } else {
        // Hiding first also ends a modal dialog's exec() and keeps a dialog from turning the close
        // request into a reject() it may have disabled.
        w->hide();
        w->close();
    }
    window = nullptr;
    if (!w.isNull()) {
        w->deleteLater();
        // Forget windows already gone, so the list only holds pending ones.
        std::erase_if(released_, [](const QPointer<QWidget>& p) { return p.isNull(); });
        released_.push_back(std::move(w));
    }
    // Checked later, not now: a hand-over unloads one window just before it loads the next.
    QMetaObject::invokeMethod(&context_, [this] { endProgramIfNoneLoaded(); }, Qt::QueuedConnection);
    return true;
}

void Forms::endProgramIfNoneLoaded() {
    for (const QPointer<QWidget>& window : windows_)
        if (!window.isNull()) return;
    // Only the program's own event loop ends; a test pumping events by hand has none running.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void Forms::showMessage(QWidget* parent, const QString& text) const {
    ui::MessageRequest request;
    request.text = text;
    request.title = QString::fromUtf8(AppTitle);
    request.buttons = ui::Buttons::Ok;
    request.icon = ui::Icon::None;
    prompts_->message(parent, request);
}

}  // namespace tabvert::shell
