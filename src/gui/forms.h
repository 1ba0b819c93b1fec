#pragma once
// The program's four windows, each a single instance addressed by its name and loaded on first use:
// the splash screen, the main window, the open-database dialog and the about box. Unloading a window
// closes and releases it; the next use loads a fresh one. The registry also hands out the Prompts
// through which every window asks the user (real dialogs in the program, scripted answers in tests).
//
// start() and frmAbout() are defined beside their windows (start.cpp,
// frmabout.cpp), with load<>():
//
//     database::Start& Forms::start() {
//         return load<database::Start>(Form::start, [this] { return new database::Start(*this); });
//     }

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

namespace tabvert::ui {
class Prompts;
}
namespace tabvert::database {
class Start;
}

namespace tabvert::shell {

class FrmAbout;
class FrmSplash;
class Tabvert;

class Forms {
public:
    enum class Form { frmSplash, tabvert, start, frmAbout };

    // prompts must outlive the registry.
    explicit Forms(ui::Prompts& prompts);
    // Releases every window still loaded.
    ~Forms();
    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;

    FrmSplash& frmSplash();
    Tabvert& tabvert();
    database::Start& start();  // defined in start.cpp
    FrmAbout& frmAbout();      // defined in frmabout.cpp

    bool isLoaded(Form which) const { return !slot(which).isNull(); }
    // Closes the window and releases it; does nothing when it is not loaded. The main window may refuse
    // to close (its closing sequence can cancel): then it stays loaded and this returns false. The other
    // windows are hidden first and always go. The object itself is deleted once control is back in the
    // event loop, so a window may unload itself from its own handlers.
    // When control is back in the program's event loop and no window is loaded any more, the program
    // ends (the splash screen does not count as a last window for Qt, so this is done here).
    bool unload(Form which);

    ui::Prompts& prompts() const { return *prompts_; }
    // The program's plain message: the text in a box with an OK button only, no icon, titled AppTitle.
    void showMessage(QWidget* parent, const QString& text) const;

    // Returns the loaded window, creating it with make() (which returns a new W*) if it is not loaded.
    template <class W, class Make>
    W& load(Form which, Make&& make) {
        QPointer<QWidget>& window = slot(which);
        if (window.isNull()) window = make();
        return *static_cast<W*>(window.data());
    }

private:
    QPointer<QWidget>& slot(Form which) { return windows_[static_cast<size_t>(which)]; }
    const QPointer<QWidget>& slot(Form which) const { return windows_[static_cast<size_t>(which)]; }

    void endProgramIfNoneLoaded();

    ui::Prompts* prompts_;
    std::array<QPointer<QWidget>, 4> windows_;
    // Receiver of the queued end-of-program check; it goes with the registry, and the check with it.
    QObject context_;
    // Unloaded windows waiting for their deferred deletion; deleted at the latest with the registry.
    std::vector<QPointer<QWidget>> released_;
};

}  // namespace tabvert::shell
