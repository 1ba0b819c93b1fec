// Stopping an export from the main window (offscreen, scripted answers): Escape, File > Exit and the
// close box ask "Stop the export? Nothing will be written."; Yes stops at the next record and writes
// nothing, No lets the run finish. Nothing else the user does to the window reaches it meanwhile.

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include "core/export/export_run.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"
#include "support/export_test_support.h"
#include "support/workbook_reader.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using shell::Windows;

const QString kStopQuestion = QStringLiteral("Stop the export? Nothing will be written.");

class ExportStopInWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        windows_ = std::make_unique<Windows>(prompts_);
        Window().show();
        fixtures::Database db;
        db.tables = {NumberedTable("Big", 2000), NumberedTable("Tail", 5)};
        const fs::path path = WriteDb(db, Root() / "stop.mdb");
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path.string()));
        Window().OpenDatabase();
    }
    shell::MainWindow& Window() { return windows_->mainWindow(); }
    fs::path Root() const { return dir_.path().toStdString(); }
    fs::path Target() const { return Root() / "out.xlsx"; }

    // Exports to Target() and does `act` once, when the bar has reached 100 of 500 on the first table
    // (its 400th record of 2,000).
    void ExportActingMidway(const std::function<void()>& act) {
        bool done = false;
        const auto hook =
            QObject::connect(Window().ProgressBar(), &QProgressBar::valueChanged, [&](int value) {
                if (done || value < 100) return;
                done = true;
                act();
            });
        prompts_.QueueFile(QString::fromStdString(Target().string()));
        Window().ClickExport();
        QObject::disconnect(hook);
        ASSERT_TRUE(done);
    }
    void PressEscape() { QTest::keyClick(Window().windowHandle(), Qt::Key_Escape); }

    // The stop question, then the message that closed the run.
    void ExpectQuestionThen(const char* closing) {
        ASSERT_EQ(prompts_.Messages().size(), 2u);
        const ui::MessageRequest& q = prompts_.Messages()[0];
        EXPECT_EQ(q.text, kStopQuestion);
        EXPECT_TRUE(q.title == QString::fromUtf8(shell::AppTitle) && q.buttons == ui::Buttons::YesNo &&
                    q.icon == ui::Icon::None);
        EXPECT_EQ(prompts_.Messages()[1].text.toStdString(), closing);
        EXPECT_TRUE(prompts_.AllAnswersUsed());
    }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Root()))
            names.insert(entry.path().filename().string());
        return names;
    }

    QTemporaryDir dir_;
    ui::ScriptedPrompts prompts_;
    std::unique_ptr<Windows> windows_;
};

TEST_F(ExportStopInWindow, EscapeAndYesStopsAtTheNextRecordAndKeepsTheOldWorkbook) {
    { std::ofstream(Target(), std::ios::binary) << "the workbook of yesterday"; }
    const std::set<std::string> before = Entries();
    prompts_.QueueAnswer(ui::Answer::Yes);
    ExportActingMidway([&] { PressEscape(); });

    ExpectQuestionThen(kStoppedText);
    EXPECT_EQ(Window().CurrentTableLabel()->text(), "Big");
    EXPECT_EQ(Window().CurrentRecordLabel()->text(), "400");
    EXPECT_TRUE(FileText(Target()) == "the workbook of yesterday");
    EXPECT_EQ(Entries(), before);
    EXPECT_TRUE(Window().isVisible() && Window().ExportFrame()->isHidden());
    EXPECT_TRUE(Window().OpenFileAction()->isEnabled() && Window().ExportAction()->isEnabled());

    // Outside a run Escape asks nothing.
    PressEscape();
    EXPECT_EQ(prompts_.Messages().size(), 2u);
}

TEST_F(ExportStopInWindow, EscapeAndNoLetsTheRunFinish) {
    prompts_.QueueAnswer(ui::Answer::No);
    ExportActingMidway([&] { PressEscape(); });

    ExpectQuestionThen(kCompletedText);
    EXPECT_EQ(Window().CurrentTableLabel()->text(), "Tail");
    const auto book = tabvert::test::ReadWorkbookFile(Target().string());
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"Tail", "Big", "Sheet1"}));
    EXPECT_NE(book->sheets[1].Find(2001, 1), nullptr);  // Big's last record
}

TEST_F(ExportStopInWindow, CloseBoxAndYesStopsAndTheWindowGoesWithoutTheExitQuestion) {
    prompts_.QueueAnswer(ui::Answer::Yes);
    ExportActingMidway([&] { Window().windowHandle()->close(); });

    ExpectQuestionThen(kStoppedText);  // and no "Are you sure you want to exit?"
    EXPECT_FALSE(fs::exists(Target()));
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(windows_->IsLoaded(Windows::Window::OpenDatabaseDialog));  // the closing sequence ran
}

TEST_F(ExportStopInWindow, FileExitAndNoGoesOnAndTheRestOfTheWindowTakesNoInputMeanwhile) {
    prompts_.QueueAnswer(ui::Answer::No);
    bool othersGreyed = false;
    ExportActingMidway([&] {
        othersGreyed = !Window().OpenFileAction()->isEnabled() && !Window().ExportAction()->isEnabled() &&
                       !Window().HelpContentAction()->isEnabled() && !Window().AboutAction()->isEnabled() &&
                       Window().ExitAction()->isEnabled();
        // A click on the export button would start a second export (and ask for a file): dropped.
        QTest::mouseClick(Window().ToolbarButton(2), Qt::LeftButton);
        Window().ExitAction()->trigger();
    });

    EXPECT_TRUE(othersGreyed);
    ExpectQuestionThen(kCompletedText);
    EXPECT_EQ(prompts_.FileDialogs().size(), 1u);
    EXPECT_TRUE(fs::exists(Target()));
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(Window().OpenFileAction()->isEnabled() && Window().AboutAction()->isEnabled());
}

}  // namespace
}  // namespace tabvert::exporting::test
