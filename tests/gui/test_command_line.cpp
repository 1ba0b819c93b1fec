// The window program's command line, run as a process: --help and --version answer with or without a
// display, any other argument is a mistake (status 2), and without a display the program says so in
// one line and ends with status 1 instead of aborting.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <initializer_list>
#include <utility>

#include "support/paths.h"

namespace {

struct Outcome {
    bool finished = false;
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = -1;
    QString out, err;
};

// The environment of a session without any display; `set` adds variables to it.
QProcessEnvironment Environment(std::initializer_list<std::pair<const char*, const char*>> set) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    for (const auto& [name, value] : set) env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return env;
}

const QProcessEnvironment kNoDisplay = Environment({});
const QProcessEnvironment kOffscreen = Environment({{"QT_QPA_PLATFORM", "offscreen"}});

// Runs the program; one that has not ended within `waitMs` (it is showing its windows) is killed.
Outcome RunTabvert(const QStringList& arguments, const QProcessEnvironment& env, int waitMs = 30000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString((tabvert::test::BuildDir() / "tabvert").string()), arguments);
    Outcome o;
    if (!process.waitForStarted()) return o;
    o.finished = process.waitForFinished(waitMs);
    if (!o.finished) {
        process.kill();
        process.waitForFinished();
    }
    o.status = process.exitStatus();
    o.code = process.exitCode();
    o.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    o.err = QString::fromLocal8Bit(process.readAllStandardError());
    return o;
}

std::string Describe(const QStringList& arguments, const Outcome& o) {
    return "tabvert " + arguments.join(' ').toStdString() + " -> " + std::to_string(o.code) +
           "\nstdout: " + o.out.toStdString() + "\nstderr: " + o.err.toStdString();
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutputWithOrWithoutADisplay) {
    for (const QProcessEnvironment* env : {&kNoDisplay, &kOffscreen}) {
        for (const char* help : {"--help", "-h"}) {
            const QStringList arguments{QString::fromLatin1(help)};
            const Outcome o = RunTabvert(arguments, *env);
            ASSERT_TRUE(o.finished) << "the windows were started";
            EXPECT_TRUE(o.status == QProcess::NormalExit && o.code == 0) << Describe(arguments, o);
            EXPECT_TRUE(o.out.startsWith(QStringLiteral("Usage: tabvert [--help | --version]\n")))
                << o.out.toStdString();
            EXPECT_TRUE(o.out.contains(QStringLiteral("--version")) &&
                        o.out.contains(QStringLiteral("DISPLAY")));
            EXPECT_TRUE(o.err.isEmpty()) << o.err.toStdString();
        }
        const Outcome version = RunTabvert({QStringLiteral("--version")}, *env);
        ASSERT_TRUE(version.finished);
        EXPECT_EQ(version.code, 0);
        EXPECT_EQ(version.out, QStringLiteral("tabvert (Norrin Tabvert) " TABVERT_VERSION "\n"));
        EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();
    }
}

TEST(CommandLine, AnyOtherArgumentGivesTheUsageOnStandardErrorAndStatusTwo) {
    const QStringList cases[] = {{QStringLiteral("--bogus")},
                                 {QStringLiteral("database.mdb")},
                                 {QString()},
                                 {QStringLiteral("-platform"), QStringLiteral("offscreen")},
                                 {QStringLiteral("--help"), QStringLiteral("--version")},
                                 {QStringLiteral("--version"), QStringLiteral("--bogus")}};
    // With a display, so that an argument taken for none would start the windows and not end.
    for (const QStringList& arguments : cases) {
        const Outcome o = RunTabvert(arguments, kOffscreen);
        ASSERT_TRUE(o.finished) << "the windows were started for " << arguments.join(' ').toStdString();
        EXPECT_TRUE(o.status == QProcess::NormalExit && o.code == 2) << Describe(arguments, o);
        EXPECT_TRUE(o.out.isEmpty()) << Describe(arguments, o);
        EXPECT_TRUE(o.err.contains(QStringLiteral("\nUsage: tabvert [--help | --version]\n")))
            << Describe(arguments, o);
        if (arguments.size() == 1) {
            EXPECT_TRUE(
                o.err.startsWith(QStringLiteral("tabvert: unknown argument '%1'\n").arg(arguments[0])))
                << Describe(arguments, o);
        }
    }
    // Without a display the mistake is still told as such.
    const Outcome o = RunTabvert({QStringLiteral("--bogus")}, kNoDisplay);
    EXPECT_EQ(o.code, 2) << Describe({QStringLiteral("--bogus")}, o);
}

TEST(CommandLine, WithoutADisplayItSaysSoInOneLineAndEndsWithStatusOne) {
    struct Case {
        const char* what;
        QProcessEnvironment env;
        const char* says;
    } cases[] = {
        {"nothing set", kNoDisplay, "no display"},
        {"xcb without DISPLAY", Environment({{"QT_QPA_PLATFORM", "xcb"}}), "no display"},
        {"wayland without WAYLAND_DISPLAY", Environment({{"QT_QPA_PLATFORM", "wayland;xcb"}}), "no display"},
        // A display that no X server answers: the window system fails as it starts.
        {"DISPLAY naming no server", Environment({{"DISPLAY", ":4711"}}),
         "the display \":4711\" cannot be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = RunTabvert({}, c.env);
        ASSERT_TRUE(o.finished);
        EXPECT_EQ(o.status, QProcess::NormalExit) << o.err.toStdString();
        EXPECT_EQ(o.code, 1) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty());
        EXPECT_EQ(o.err.count(QLatin1Char('\n')), 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.endsWith(QLatin1Char('\n')));
        EXPECT_TRUE(o.err.startsWith(QStringLiteral("tabvert: ")) &&
                    o.err.contains(QString::fromLatin1(c.says)))
            << o.err.toStdString();
    }
}

TEST(CommandLine, WithoutArgumentsOnADisplayTheWindowsStart) {
    // A platform that needs no display server counts as a display; the program keeps running.
    const Outcome o = RunTabvert({}, kOffscreen, 3000);
    EXPECT_FALSE(o.finished) << Describe({}, o);
    EXPECT_FALSE(o.err.contains(QStringLiteral("tabvert:"))) << o.err.toStdString();
}

}  // namespace
