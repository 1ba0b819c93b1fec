// The window registry: loading and unloading the program's windows, and the end of the program once
// none is left.
#include "gui/windows.h"

#include <QCoreApplication>
#include <QThread>
#include <utility>

#include "gui/app_title.h"
#include "gui/main_window.h"
#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"

namespace tabvert::shell {

Windows::Windows(ui::Prompts& prompts) : prompts_(&prompts) {}

Windows::~Windows() {
    for (QPointer<QWidget>& window : loaded_) delete window.data();
    for (QPointer<QWidget>& window : released_) delete window.data();
}

SplashScreen& Windows::splashScreen() {
    return Load<SplashScreen>(Window::SplashScreen, [this] { return new SplashScreen(*this); });
}

MainWindow& Windows::mainWindow() {
    return Load<MainWindow>(Window::MainWindow, [this] { return new MainWindow(*this); });
}

bool Windows::Unload(Window which) {
    QPointer<QWidget>& window = Slot(which);
    if (window.isNull()) return true;
    QPointer<QWidget> w = window;
    if (which == Window::MainWindow) {
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
    QMetaObject::invokeMethod(
        &context_, [this] { EndProgramIfNoneLoaded(); }, Qt::QueuedConnection);
    return true;
}

void Windows::EndProgramIfNoneLoaded() {
    for (const QPointer<QWidget>& window : loaded_)
        if (!window.isNull()) return;
    // Only the program's own event loop ends; a test pumping events by hand has none running.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void Windows::ShowMessage(QWidget* parent, const QString& text, const QString& details) const {
    ui::MessageRequest request;
    request.text = text;
    request.details = details;
    request.title = QString::fromUtf8(AppTitle);
    request.buttons = ui::Buttons::Ok;
    request.icon = ui::Icon::None;
    prompts_->Message(parent, request);
}

}  // namespace tabvert::shell
