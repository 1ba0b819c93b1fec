// Shows the main window, opens DB and exports it to OUT with scripted answers, then quits: lets a
// screenshot taken from outside (Xvfb + import) catch the progress frame in the middle of a long run.
//   export_progress_demo DB OUT [DELAY_MS]

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DB OUT [DELAY_MS]\n", argv[0]);
        return 2;
    }
    tabvert::ui::ScriptedPrompts prompts;
    prompts.QueueFile(QString::fromLocal8Bit(argv[2]));
    prompts.QueueAnswer(tabvert::ui::Answer::Ok);
    prompts.QueueAnswer(tabvert::ui::Answer::Yes);  // the exit question when the window goes
    tabvert::shell::Windows windows(prompts);
    tabvert::shell::MainWindow& window = windows.mainWindow();
    window.show();
    windows.OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromLocal8Bit(argv[1]));
    window.OpenDatabase();
    const int delay = argc > 3 ? std::atoi(argv[3]) : 1500;
    QTimer::singleShot(delay, &window, [&] {
        window.ClickToolbarButton(2);
        std::fprintf(stderr, "export finished\n");
        QApplication::quit();
    });
    return QApplication::exec();
}
