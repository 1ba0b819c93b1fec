// The splash screen: its hand-over to the main window, and the key press that ends the program.
// These tests run the application's real event loop, so "the program ends" means exec() returned on its
// own because no window was left.

#include "platform/ui/prompts.h"
#include "shell/forms.h"
#include "shell/frmsplash.h"
#include "shell/tabvert.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tabvert::shell {
namespace {

using Form = Forms::Form;

// Exit code used by the watchdog: exec() returning it means the loop was still running (not ended by
// the last window closing).
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
FrmSplash& ShowSplash(Forms& forms, int intervalMs) {
    FrmSplash& splash = forms.frmSplash();
    splash.Timer1()->setInterval(intervalMs);
    splash.show();
    return splash;
}

// Watches the first event the main window receives while it is being built (before its load set-up
// runs) and notes whether the splash screen was already gone.
class FirstMainWindowEvent : public QObject {
public:
    FirstMainWindowEvent(Forms& forms, QPointer<FrmSplash> splash) : forms_(forms), splash_(splash) {
        qApp->installEventFilter(this);
    }
    ~FirstMainWindowEvent() override { qApp->removeEventFilter(this); }

    bool seen = false;
    bool splashLoadedThen = true;
    bool splashVisibleThen = true;

protected:
    bool eventFilter(QObject* watched, QEvent*) override {
        if (!seen && qobject_cast<Tabvert*>(watched)) {
            seen = true;
            splashLoadedThen = forms_.isLoaded(Form::frmSplash);
            splashVisibleThen = !splash_.isNull() && splash_->isVisible();
        }
        return false;
    }

private:
    Forms& forms_;
    QPointer<FrmSplash> splash_;
};

TEST(Splash, IsABorderlessPictureOfFixedSizeWithATwoSecondTimer) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    FrmSplash& splash = forms.frmSplash();
    EXPECT_EQ(splash.objectName(), "frmSplash");
    EXPECT_EQ(splash.size(), QSize(348, 211));
    EXPECT_EQ(splash.picture().size(), QSize(350, 214));
    const Qt::WindowFlags flags = splash.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::SplashScreen);  // no taskbar entry
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);              // no title bar, no close button
    EXPECT_EQ(splash.Timer1()->interval(), FrmSplash::kIntervalMs);
    EXPECT_EQ(FrmSplash::kIntervalMs, 2000);
    EXPECT_TRUE(splash.Timer1()->isActive()) << "the timer runs from the moment the window is loaded";
    EXPECT_FALSE(forms.isLoaded(Form::tabvert)) << "nothing but the splash screen is loaded at start";
}

TEST(Splash, HandsOverToTheMainWindowOnceAndIsGoneBeforeItLoads) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    QPointer<FrmSplash> splashPtr(&ShowSplash(forms, kShortInterval));
    FirstMainWindowEvent probe(forms, splashPtr);

    // End the loop once the main window is up and the splash object has really been released.
    ExitWhen([&] { return forms.isLoaded(Form::tabvert) && forms.tabvert().isVisible() && splashPtr.isNull(); });
    EXPECT_EQ(RunEventLoop(5000), kStillRunning)
        << "the loop must keep running across the hand-over, and the hand-over must happen";

    ASSERT_TRUE(probe.seen);
    EXPECT_FALSE(probe.splashLoadedThen) << "the splash screen is unloaded before the main window loads";
    EXPECT_FALSE(probe.splashVisibleThen);
    EXPECT_FALSE(forms.isLoaded(Form::frmSplash));

    // The timer went with the window: no second hand-over, the same main window stays.
    Tabvert* mainWindow = &forms.tabvert();
    QTest::qWait(3 * kShortInterval);
    EXPECT_EQ(&forms.tabvert(), mainWindow);
    EXPECT_FALSE(forms.isLoaded(Form::frmSplash));
}

struct KeyCase {
    const char* name;
    Qt::Key key;
};

class SplashCharacterKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SplashCharacterKey, EndsTheProgramWithoutTheMainWindow) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    FrmSplash& splash = ShowSplash(forms, kShortInterval);
    QTimer::singleShot(0, &splash, [&splash] { QTest::keyClick(&splash, GetParam().key); });

    // exec() returns 0 by itself when the last window has closed; the watchdog would return -1.
    EXPECT_EQ(RunEventLoop(5000), 0) << "the program did not end after the key press";
    EXPECT_FALSE(forms.isLoaded(Form::frmSplash));
    QTest::qWait(2 * kShortInterval);  // well past the timer's tick
    EXPECT_FALSE(forms.isLoaded(Form::tabvert)) << "the main window must never be shown";
}

INSTANTIATE_TEST_SUITE_P(Keys, SplashCharacterKey,
                         ::testing::Values(KeyCase{"Letter", Qt::Key_A}, KeyCase{"Digit", Qt::Key_7},
                                           KeyCase{"Space", Qt::Key_Space}, KeyCase{"Enter", Qt::Key_Return},
                                           KeyCase{"Escape", Qt::Key_Escape}),
                         [](const ::testing::TestParamInfo<KeyCase>& key) { return std::string(key.param.name); });

TEST(Splash, KeysWithoutACharacterAndMouseClicksLeaveItInPlace) {
    ui::ScriptedPrompts prompts;
    Forms forms(prompts);
    FrmSplash& splash = ShowSplash(forms, kShortInterval * 2);
    bool loadedAfterInput = false;
    QTimer::singleShot(0, &splash, [&] {
        for (Qt::Key key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Left, Qt::Key_Down, Qt::Key_F1, Qt::Key_F5})
            QTest::keyClick(&splash, key);
        QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseDClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        loadedAfterInput = forms.isLoaded(Form::frmSplash) && splash.isVisible();
    });
    ExitWhen([&] { return forms.isLoaded(Form::tabvert) && forms.tabvert().isVisible(); });

    EXPECT_EQ(RunEventLoop(5000), kStillRunning);
    EXPECT_TRUE(loadedAfterInput);
    EXPECT_FALSE(forms.isLoaded(Form::frmSplash)) << "the hand-over still follows";
}

}  // namespace
}  // namespace tabvert::shell
