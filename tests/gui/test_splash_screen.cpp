// The splash screen: its hand-over to the main window, and the key press that ends the program.
// These tests run the application's real event loop, so "the program ends" means exec() returned on its
// own because no window was left.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMetaEnum>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "gui/main_window.h"
#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"
#include "gui/windows.h"

namespace tabvert::shell {
namespace {

using Window = Windows::Window;

// What exec() returns when ExitWhen ended it: the loop was still running, not ended by the last window
// closing.
constexpr int kStillRunning = 42;
constexpr int kShortInterval = 150;

// Runs the event loop until something calls exit(), or until the watchdog gives up after `limitMs`.
int RunEventLoop(int limitMs) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    watchdog.start(limitMs);
    return QApplication::exec();
}

// Polls `condition` from within the event loop and ends the loop with kStillRunning once it holds.
void ExitWhen(std::function<bool()> condition) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, condition = std::move(condition)] {
        if (!condition()) return;
        poll->stop();
        poll->deleteLater();
        QCoreApplication::exit(kStillRunning);
    });
    poll->start(10);
}

// Loads the splash screen with a shortened timer and shows it, as the program's start does.
SplashScreen& ShowSplash(Windows& windows, int intervalMs) {
    windows.splashScreen().HandOverTimer()->setInterval(intervalMs);
    windows.splashScreen().show();
    return windows.splashScreen();
}

// Notes, at the first event the main window receives while it is being built (before its load set-up
// runs), whether the splash screen was still loaded or visible.
struct FirstMainWindowEvent : QObject {
    FirstMainWindowEvent(Windows& windows, QPointer<SplashScreen> splash)
        : windows_(windows), splash_(splash) {
        qApp->installEventFilter(this);
    }
    ~FirstMainWindowEvent() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent*) override {
        if (!seen && qobject_cast<MainWindow*>(watched)) {
            seen = true;
            splashThere =
                windows_.IsLoaded(Window::SplashScreen) || (!splash_.isNull() && splash_->isVisible());
        }
        return false;
    }
    bool seen = false;
    bool splashThere = true;
    Windows& windows_;
    QPointer<SplashScreen> splash_;
};

TEST(Splash, IsAloneAtStartWithItsTimerRunning) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    SplashScreen& splash = windows.splashScreen();
    EXPECT_EQ(splash.objectName(), "frmSplash");
    EXPECT_EQ(splash.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);  // no taskbar entry
    EXPECT_TRUE(splash.HandOverTimer()->isActive()) << "the timer runs from the moment the window is loaded";
    EXPECT_FALSE(windows.IsLoaded(Window::MainWindow)) << "nothing but the splash screen is loaded at start";
}

TEST(Splash, HandsOverToTheMainWindowOnceAndIsGoneBeforeItLoads) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    QPointer<SplashScreen> splashPtr(&ShowSplash(windows, kShortInterval));
    FirstMainWindowEvent probe(windows, splashPtr);

    // End the loop once the main window is up and the splash object has really been released.
    ExitWhen([&] {
        return windows.IsLoaded(Window::MainWindow) && windows.mainWindow().isVisible() && splashPtr.isNull();
    });
    EXPECT_EQ(RunEventLoop(5000), kStillRunning)
        << "the loop must keep running across the hand-over, and the hand-over must happen";

    ASSERT_TRUE(probe.seen);
    EXPECT_FALSE(probe.splashThere) << "the splash screen is unloaded before the main window loads";

    // The timer went with the window: no second hand-over, the same main window stays.
    MainWindow* mainWindow = &windows.mainWindow();
    QTest::qWait(3 * kShortInterval);
    EXPECT_EQ(&windows.mainWindow(), mainWindow);
    EXPECT_FALSE(windows.IsLoaded(Window::SplashScreen));
}

// Keys that type a character, Space, Enter and Escape included.
class SplashCharacterKey : public ::testing::TestWithParam<Qt::Key> {};

TEST_P(SplashCharacterKey, EndsTheProgramWithoutTheMainWindow) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    SplashScreen& splash = ShowSplash(windows, kShortInterval);
    QTimer::singleShot(0, &splash, [&splash] { QTest::keyClick(&splash, GetParam()); });

    // exec() returns 0 by itself when the last window has closed; the watchdog would return -1.
    EXPECT_EQ(RunEventLoop(5000), 0) << "the program did not end after the key press";
    EXPECT_FALSE(windows.IsLoaded(Window::SplashScreen));
    QTest::qWait(2 * kShortInterval);  // well past the timer's tick
    EXPECT_FALSE(windows.IsLoaded(Window::MainWindow)) << "the main window must never be shown";
}

// Each case is named after its key (Key_A, Key_Space, ...).
INSTANTIATE_TEST_SUITE_P(Keys, SplashCharacterKey,
                         ::testing::Values(Qt::Key_A, Qt::Key_7, Qt::Key_Space, Qt::Key_Return,
                                           Qt::Key_Escape),
                         [](const ::testing::TestParamInfo<Qt::Key>& key) {
                             return std::string(QMetaEnum::fromType<Qt::Key>().valueToKey(key.param));
                         });

TEST(Splash, KeysWithoutACharacterAndMouseClicksLeaveItInPlace) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    SplashScreen& splash = ShowSplash(windows, kShortInterval * 2);
    bool loadedAfterInput = false;
    QTimer::singleShot(0, &splash, [&] {
        for (Qt::Key key :
             {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Left, Qt::Key_Down, Qt::Key_F1, Qt::Key_F5})
            QTest::keyClick(&splash, key);
        QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseDClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        loadedAfterInput = windows.IsLoaded(Window::SplashScreen) && splash.isVisible();
    });
    ExitWhen([&] { return windows.IsLoaded(Window::MainWindow) && windows.mainWindow().isVisible(); });

    EXPECT_EQ(RunEventLoop(5000), kStillRunning);
    EXPECT_TRUE(loadedAfterInput);
    EXPECT_FALSE(windows.IsLoaded(Window::SplashScreen)) << "the hand-over still follows";
}

}  // namespace
}  // namespace tabvert::shell
