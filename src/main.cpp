// Norrin Tabvert: the first thing the program does is show the splash screen; everything else follows
// from the windows' own events.
#include "platform/ui/prompts.h"
#include "shell/forms.h"
#include "shell/frmsplash.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norrin Tabvert"));
    const auto prompts = tabvert::ui::MakeQtPrompts();
    tabvert::shell::Forms forms(*prompts);
    forms.frmSplash().show();
    return QApplication::exec();
}
