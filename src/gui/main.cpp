// Norrin Tabvert: the first thing the program does is show the splash screen; everything else follows
// from the windows' own events.
#include "gui/platform/prompts.h"
#include "gui/forms.h"
#include "gui/frmsplash.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norrin Tabvert"));
    const auto prompts = tabvert::ui::MakeQtPrompts();
    tabvert::shell::Forms forms(*prompts);
    forms.frmSplash().show();
    return QApplication::exec();
}
