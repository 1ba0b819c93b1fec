#pragma once
// The registry of the program's four windows, each a single instance loaded on first use: the splash
// screen, the main window, the open-database dialog and the about box. Unloading a window closes and
// releases it; the next use loads a fresh one. The registry also hands out the Prompts through which
// every window asks the user (real dialogs in the program, scripted answers in tests).
//
// OpenDatabaseDialog() and aboutBox() are defined beside their windows (open_database_dialog.cpp,
// about_box.cpp), with load<>():
//
//     AboutBox& Windows::aboutBox() {
//         return load<AboutBox>(Window::AboutBox, [] { return new AboutBox(); });
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
class OpenDatabaseDialog;
}

namespace tabvert::shell {

class AboutBox;
class MainWindow;
class SplashScreen;

class Windows {
  public:
    enum class Window { SplashScreen, MainWindow, OpenDatabaseDialog, AboutBox };

    // prompts must outlive the registry.
    explicit Windows(ui::Prompts& prompts);
    // Releases every window still loaded.
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    // Each returns its window, loading it first when it is not loaded.
    SplashScreen& splashScreen();
    MainWindow& mainWindow();
    database::OpenDatabaseDialog& OpenDatabaseDialog();  // defined in open_database_dialog.cpp
    AboutBox& aboutBox();                                // defined in about_box.cpp

    bool IsLoaded(Window which) const { return !Slot(which).isNull(); }
    // Closes the window and releases it; does nothing when it is not loaded. The main window may refuse
    // to close (its closing sequence can cancel): then it stays loaded and this returns false. The other
    // windows are hidden first and always go. The object itself is deleted once control is back in the
    // event loop, so a window may unload itself from its own handlers.
    // When control is back in the program's event loop and no window is loaded any more, the program
    // ends (the splash screen does not count as a last window for Qt, so this is done here).
    bool Unload(Window which);

    ui::Prompts& Prompts() const { return *prompts_; }
    // The program's plain message: the text in a box with an OK button only, no icon, titled AppTitle;
    // `details`, when not empty, kept behind the box's "Show Details..." button.
    void ShowMessage(QWidget* parent, const QString& text, const QString& details = QString()) const;

    // Returns the loaded window, creating it with make() (which returns a new W*) if it is not loaded.
    template <class W, class Make>
    W& Load(Window which, Make&& make) {
        QPointer<QWidget>& window = Slot(which);
        if (window.isNull()) window = make();
        return *static_cast<W*>(window.data());
    }

  private:
    QPointer<QWidget>& Slot(Window which) { return loaded_[static_cast<size_t>(which)]; }
    const QPointer<QWidget>& Slot(Window which) const { return loaded_[static_cast<size_t>(which)]; }

    void EndProgramIfNoneLoaded();

    ui::Prompts* prompts_;
    // One slot per Window, empty while that window is not loaded.
    std::array<QPointer<QWidget>, 4> loaded_;
    // Receiver of the queued end-of-program check; it goes with the registry, and the check with it.
    QObject context_;
    // Unloaded windows waiting for their deferred deletion; deleted at the latest with the registry.
    std::vector<QPointer<QWidget>> released_;
};

}  // namespace tabvert::shell
