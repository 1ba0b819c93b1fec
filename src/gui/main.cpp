// Norrin Tabvert: the first thing the program does is show the splash screen; everything else follows
// from the windows' own events.
#include <QApplication>
#include <csignal>

#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"
#include "gui/windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // A save beyond the file-size limit (ulimit -f) fails with "File too large" and says so, instead
    // of the program vanishing without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication::setApplicationName(QStringLiteral("Norrin Tabvert"));
    const auto prompts = tabvert::ui::MakeQtPrompts();
    tabvert::shell::Windows windows(*prompts);
    windows.splashScreen().show();
    return QApplication::exec();
}
