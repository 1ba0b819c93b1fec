// The main window's load set-up, the exit question in every way of closing, and the help command
// when no help file lies beside the program.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <ostream>

#include "gui/about_box.h"
#include "gui/auto_size_label.h"
#include "gui/main_window.h"
#include "gui/main_window_commands.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/htmlhelp/help_window.h"
#include "gui/platform/prompts.h"
#include "gui/splash_screen.h"
#include "gui/windows.h"

namespace tabvert::shell {
namespace {

using ui::Answer;
using Window = Windows::Window;

const QColor kGreen(202, 255, 126);

TEST(LoadSetUp, PaintsTheWindowAndItsLabelsLightGreenAndHidesTheProgressFrame) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    MainWindow& window = windows.mainWindow();
    EXPECT_EQ(window.helpFilePath(), HelpFilePath(QCoreApplication::applicationDirPath()));

    const std::vector<QWidget*> painted = {&window,
                                           window.TableTreeHeading(),
                                           window.PreviewHeading(),
                                           window.ExportFrame(),
                                           window.CurrentTableCaption(),
                                           window.CurrentRecordCaption(),
                                           window.CurrentTableLabel(),
                                           window.CurrentRecordLabel()};
    for (QWidget* control : painted) {
        EXPECT_EQ(control->palette().color(QPalette::Window), kGreen) << control->objectName().toStdString();
        EXPECT_TRUE(control->autoFillBackground()) << control->objectName().toStdString();
    }

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.ExportFrame()->isVisible());
    EXPECT_TRUE(window.isVisible());
    // What the user sees: the client area between the panes, and a label's own background.
    const QImage shot = window.grab().toImage();
    const QPoint gap = window.PreviewHeading()->mapTo(&window, QPoint(-3, 40));
    EXPECT_EQ(QColor(shot.pixel(gap)), kGreen);
    const QPoint onLabel =
        window.TableTreeHeading()->mapTo(&window, QPoint(window.TableTreeHeading()->width() - 2, 1));
    EXPECT_EQ(QColor(shot.pixel(onLabel)), kGreen);
    EXPECT_TRUE(prompts.Messages().empty());
}

struct ClosingCase {
    const char* name;
    bool viaExitCommand;  // File > Exit, else the window's close box
    std::vector<Answer> answers;
    size_t questions;
    bool staysOpen;
};

// A failing case prints its name.
void PrintTo(const ClosingCase& c, std::ostream* out) { *out << c.name; }

class Closing : public testing::TestWithParam<ClosingCase> {};

TEST_P(Closing, AsksTheExitQuestionAndUnloadsTheOtherWindowsOnYes) {
    const ClosingCase& c = GetParam();
    ui::ScriptedPrompts prompts;
    for (Answer a : c.answers) prompts.QueueAnswer(a);
    Windows windows(prompts);
    windows.splashScreen().HandOverTimer()->stop();  // loaded, but it must not hand over by itself
    windows.aboutBox();                              // loaded, never shown
    windows.OpenDatabaseDialog().hide();             // loaded and hidden, as after a database was opened
    MainWindow& window = windows.mainWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    if (c.viaExitCommand)
        window.ExitAction()->trigger();
    else
        window.close();

    ASSERT_EQ(prompts.Messages().size(), c.questions);
    for (const ui::MessageRequest& question : prompts.Messages()) {
        EXPECT_EQ(question.text, QStringLiteral("Are you sure you want to exit?"));
        EXPECT_EQ(question.title, QStringLiteral("Norrin Tabvert 4.0"));
        EXPECT_EQ(question.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(question.icon, ui::Icon::None);
    }
    EXPECT_TRUE(prompts.AllAnswersUsed());
    EXPECT_EQ(window.isVisible(), c.staysOpen);
    EXPECT_EQ(windows.IsLoaded(Window::OpenDatabaseDialog), c.staysOpen);
    EXPECT_EQ(windows.IsLoaded(Window::AboutBox), c.staysOpen);
    EXPECT_EQ(windows.IsLoaded(Window::SplashScreen), c.staysOpen);
    EXPECT_TRUE(windows.IsLoaded(Window::MainWindow));
}

INSTANTIATE_TEST_SUITE_P(
    ExitAndCloseBox, Closing,
    testing::Values(ClosingCase{"ExitYesYes", true, {Answer::Yes, Answer::Yes}, 2, false},
                    ClosingCase{"ExitYesNo", true, {Answer::Yes, Answer::No}, 2, true},
                    ClosingCase{"ExitNo", true, {Answer::No}, 1, true},
                    ClosingCase{"CloseBoxYes", false, {Answer::Yes}, 1, false},
                    ClosingCase{"CloseBoxNo", false, {Answer::No}, 1, true}),
    [](const testing::TestParamInfo<ClosingCase>& param) { return std::string(param.param.name); });

TEST(HelpCommand, WithNoHelpFileBesideTheProgramShowsNothingAndSaysNothing) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    MainWindow& window = windows.mainWindow();
    ASSERT_FALSE(QFileInfo::exists(window.helpFilePath())) << window.helpFilePath().toStdString();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto windowsBefore = QApplication::topLevelWidgets().size();

    window.HelpContentAction()->trigger();
    QTest::mouseClick(window.ToolbarButton(3), Qt::LeftButton);

    EXPECT_TRUE(window.findChildren<htmlhelp::HelpWindow*>().isEmpty());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST(AboutCommand, ShowsTheAboutBoxModallyAndReturnsWhenItIsClosed) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    MainWindow& window = windows.mainWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    bool shownModal = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        shownModal = modal && windows.IsLoaded(Window::AboutBox) && modal == &windows.aboutBox();
        if (modal) modal->close();
    });
    window.AboutAction()->trigger();
    EXPECT_TRUE(shownModal);
    EXPECT_FALSE(windows.IsLoaded(Window::AboutBox)) << "released when it closed";
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace tabvert::shell
