// Norrin Tabvert: the first thing the program does is show the splash screen; everything else follows
// from the windows' own events.
//
// Before any window, the command line: "--help" and "--version" are answered on standard output
// without a display, any other argument is a mistake (exit status 2). Without a display to show the
// windows on the program says so in one line and exits with status 1, where Qt would abort.
#include <QApplication>
#include <QByteArray>
#include <QList>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"
#include "gui/windows.h"

namespace {

constexpr const char* kUsageLine = "Usage: tabvert [--help | --version]\n";

void PrintHelp() {
    std::fputs(kUsageLine, stdout);
    std::fputs(
        "\n"
        "Converts the tables of a Microsoft Access database (.mdb, .mde, .accdb) into one Excel\n"
        "workbook (.xls or .xlsx). Started without arguments it shows its window, where the database\n"
        "(File > Open File) and the workbook (File > Export to Excel) are chosen.\n"
        "\n"
        "  --help, -h   this text\n"
        "  --version    the program's name and version\n"
        "\n"
        "The window needs a graphical display (DISPLAY or WAYLAND_DISPLAY); tabvert-cli does the same\n"
        "work from a terminal. Exit status 0; 1 when there is no display; 2 for any other argument.\n",
        stdout);
}

enum class Start { Windows, Help, Version, Mistake };

Start ReadCommandLine(int argc, char** argv) {
    if (argc == 1) return Start::Windows;
    if (argc == 2) {
        const std::string argument = argv[1];
        if (argument == "--help" || argument == "-h") return Start::Help;
        if (argument == "--version") return Start::Version;
    }
    return Start::Mistake;
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// True when nothing says where windows could be shown: neither DISPLAY nor WAYLAND_DISPLAY is set, and
// QT_QPA_PLATFORM is unset or names only window systems that need one of them (xcb, wayland...).
// A platform that needs no display (offscreen, vnc, eglfs...) counts as one.
bool WithoutDisplay() {
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return false;
    const QList<QByteArray> platforms = qgetenv("QT_QPA_PLATFORM").split(';');
    for (const QByteArray& entry : platforms) {
        const QByteArray name = entry.split(':').front().trimmed();
        if (!name.isEmpty() && name != "xcb" && !name.startsWith("wayland")) return false;
    }
    return true;
}

// While the platform starts, Qt's messages are held back: a platform that cannot start (a DISPLAY
// that names no running server) ends in a fatal message, which becomes the one line below; otherwise
// the held messages are passed on as Qt would have given them.
struct HeldMessage {
    QtMsgType type;
    std::string category, file, function, text;
    int line;
};
std::vector<HeldMessage> heldMessages;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        if (display != nullptr && *display != '\0')
            std::fprintf(stderr, "tabvert: the display \"%s\" cannot be opened, so no window can be shown\n",
                         display);
        else
            std::fputs("tabvert: the window system cannot be started, so no window can be shown\n", stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    auto copy = [](const char* s) { return std::string(s != nullptr ? s : ""); };
    heldMessages.push_back(HeldMessage{type, copy(context.category), copy(context.file),
                                       copy(context.function), text.toStdString(), context.line});
}

void PassOnHeldMessages(QtMessageHandler handler) {
    for (const HeldMessage& m : heldMessages) {
        const QMessageLogContext context(m.file.c_str(), m.line, m.function.c_str(), m.category.c_str());
        handler(m.type, context, QString::fromStdString(m.text));
    }
    heldMessages.clear();
}

}  // namespace

int main(int argc, char** argv) {
    switch (ReadCommandLine(argc, argv)) {
        case Start::Help:
            PrintHelp();
            return 0;
        case Start::Version:
            std::printf("tabvert (Norrin Tabvert) %s\n", TABVERT_VERSION);
            return 0;
        case Start::Mistake:
            if (argc > 2)
                std::fputs("tabvert: too many arguments\n", stderr);
            else
                std::fprintf(stderr, "tabvert: unknown argument '%s'\n", argv[1]);
            std::fprintf(stderr, "%s(see tabvert --help)\n", kUsageLine);
            return 2;
        case Start::Windows:
            break;
    }
    if (WithoutDisplay()) {
        std::fputs(
            "tabvert: no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
            stderr);
        return 1;
    }

    const QtMessageHandler passOn = qInstallMessageHandler(HoldMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(passOn);
    PassOnHeldMessages(passOn);

    // A save beyond the file-size limit (ulimit -f) fails with "File too large" and says so, instead
    // of the program vanishing without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication::setApplicationName(QStringLiteral("Norrin Tabvert"));
    const auto prompts = tabvert::ui::MakeQtPrompts();
    tabvert::shell::Windows windows(*prompts);
    windows.splashScreen().show();
    return QApplication::exec();
}
