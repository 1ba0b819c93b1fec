// The Export command on the main window (offscreen, scripted dialogs): the no-database message, the
// save dialog, the path rules, and what the run leaves in the window.

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "database/start.h"
#include "export/export_run.h"
#include "export/export_target.h"
#include "export_test_support.h"
#include "fixtures/fixture_set.h"
#include "platform/ui/prompts.h"
#include "shell/app_title.h"
#include "shell/auto_size_label.h"
#include "shell/forms.h"
#include "shell/list_view.h"
#include "shell/tabvert.h"
#include "support/workbook_reader.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;

// Scripted answers that also note whether the progress frame was showing when each message came.
class WatchingPrompts : public ui::ScriptedPrompts {
  public:
    ui::Answer message(QWidget* parent, const ui::MessageRequest& request) override {
        frameShowing.push_back(frame && !frame->isHidden());
        return ScriptedPrompts::message(parent, request);
    }
    QGroupBox* frame = nullptr;
    std::vector<bool> frameShowing;
};

class ExportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        forms_ = std::make_unique<shell::Forms>(prompts_);
        prompts_.frame = window().Frame1();
    }
    void TearDown() override { forms_.reset(); }

    shell::Tabvert& window() { return forms_->tabvert(); }
    fs::path root() const { return dir_.path().toStdString(); }

    // Opens a database the way OK in the open-database dialog does.
    void OpenDatabase(const fixtures::Database& db, const std::string& file) {
        const fs::path path = WriteDb(db, root() / file);
        forms_->start().txtDB()->setText(QString::fromStdString(path.string()));
        window().openaccessfile();
        ASSERT_GT(window().TreeView1()->topLevelItemCount(), 0);
    }

    QTemporaryDir dir_;
    WatchingPrompts prompts_;
    std::unique_ptr<shell::Forms> forms_;
};

using Trigger = std::function<void(shell::Tabvert&)>;

TEST_F(ExportCommand, WithoutADatabaseOnlyAsksToOpenOne) {
    const std::vector<std::pair<const char*, Trigger>> triggers = {
        {"menu", [](shell::Tabvert& w) { w.ExporttoExcel()->trigger(); }},
        {"toolbar button 2", [](shell::Tabvert& w) { w.Toolbar1Button(2)->click(); }},
    };
    window().txtEXL()->setText("/earlier/export.xls");
    for (const auto& [label, trigger] : triggers) {
        SCOPED_TRACE(label);
        const std::size_t before = prompts_.messages().size();
        prompts_.queueAnswer(ui::Answer::Ok);
        trigger(window());
        ASSERT_EQ(prompts_.messages().size(), before + 1);
        const ui::MessageRequest& m = prompts_.messages().back();
        EXPECT_EQ(m.text, "Please open access database file.");
        EXPECT_EQ(m.title, QString::fromUtf8(shell::AppTitle));
        EXPECT_EQ(m.buttons, ui::Buttons::Ok);
        EXPECT_EQ(m.icon, ui::Icon::None);
        EXPECT_TRUE(prompts_.fileDialogs().empty());
        EXPECT_EQ(window().txtEXL()->text(), "/earlier/export.xls");
    }
}

TEST_F(ExportCommand, CancellingTheDialogStartsNothing) {
    OpenDatabase(fixtures::AccdbFixture(), "small.accdb");
    window().txtEXL()->setText("/earlier/export.xls");
    window().ListView1()->addColumn("Kept");
    window().ListView1()->addItem("row");
    const std::size_t messagesBefore = prompts_.messages().size();
    prompts_.queueFile(std::nullopt);
    window().Toolbar1_ButtonClick(2);

    ASSERT_EQ(prompts_.fileDialogs().size(), 1u);
    const ui::FileDialogRequest& d = prompts_.fileDialogs()[0];
    EXPECT_EQ(d.kind, ui::FileDialogKind::Save);
    EXPECT_EQ(d.filter,
              "Select excel file (*.xls)|*.xls| Excel 2007-2010 (*.xlsx)|*.xlsx| All files (*.*)|*.*  ");
    EXPECT_EQ(d.fileName, "");
    EXPECT_TRUE(d.confirmOverwrite);
    EXPECT_EQ(window().txtEXL()->text(), "");
    EXPECT_EQ(prompts_.messages().size(), messagesBefore);
    EXPECT_EQ(window().ListView1()->itemCount(), 1);
    EXPECT_TRUE(window().Frame1()->isHidden());
}

struct PathCase {
    const char* label;
    const char* folder;   // made inside the test folder first ("" for none)
    const char* chosen;   // what the user picks, inside the test folder
    const char* stored;   // txtEXL afterwards
    const char* written;  // the file the workbook lands in
};

class ExportPaths : public ExportCommand, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ExportPaths, DialogAnswerBecomesTheWorkbookPath) {
    const PathCase& c = GetParam();
    OpenDatabase(fixtures::AccdbFixture(), "small.accdb");
    if (*c.folder) fs::create_directory(root() / c.folder);
    const std::string base = root().string() + "/";
    prompts_.queueFile(QString::fromStdString(base + c.chosen));
    prompts_.queueAnswer(ui::Answer::Ok);
    window().ExporttoExcel()->trigger();

    EXPECT_EQ(window().txtEXL()->text().toStdString(), base + c.stored);
    EXPECT_TRUE(fs::exists(base + c.written)) << c.written;
    if (std::string(c.written) != c.stored) {
        EXPECT_FALSE(fs::exists(base + c.stored));
    }
    ASSERT_FALSE(prompts_.messages().empty());
    EXPECT_EQ(prompts_.messages().back().text, kCompletedText);
    EXPECT_TRUE(prompts_.allAnswersUsed());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ExportPaths,
    ::testing::Values(
        PathCase{"LowerCaseMdbEnding", "", "out.mdb", "out.xls", "out.xls"},
        PathCase{"UpperCaseMdbKept", "", "OUT.MDB", "OUT.MDB", "OUT.MDB"},
        PathCase{"FolderNamedMdbKept", "old.mdb", "old.mdb/copy.mdb", "old.mdb/copy.xls", "old.mdb/copy.xls"},
        PathCase{"ThreeBackslashesBecomeTwo", "", "a\\\\\\b.xlsx", "a\\\\\\b.xlsx", "a\\\\b.xlsx"},
        PathCase{"SixBackslashesBecomeFour", "", "c\\\\\\\\\\\\d.xlsx", "c\\\\\\\\\\\\d.xlsx",
                 "c\\\\\\\\d.xlsx"}),
    [](const ::testing::TestParamInfo<PathCase>& i) { return std::string(i.param.label); });

TEST_F(ExportCommand, RunLeavesTheWindowAsDescribed) {
    OpenDatabase(fixtures::AccdbFixture(), "first.accdb");
    // The run reads the dialog as it stands now, not as it was when the tree was filled.
    fixtures::Database other;
    other.tables = {NumberedTable("Alpha", 3), NumberedTable("Beta", 1200), NumberedTable("Gamma", 0)};
    const fs::path otherPath = WriteDb(other, root() / "second.mdb");
    forms_->start().txtDB()->setText(QString::fromStdString(otherPath.string()));
    window().ListView1()->addColumn("Old");
    window().ListView1()->addItem("old row");
    prompts_.frameShowing.clear();

    prompts_.queueFile(QString::fromStdString((root() / "second.xlsx").string()));
    prompts_.queueAnswer(ui::Answer::Ok);
    window().Toolbar1_ButtonClick(2);

    ASSERT_EQ(prompts_.messages().size(), 1u);
    const ui::MessageRequest& m = prompts_.messages()[0];
    EXPECT_EQ(m.text, kCompletedText);
    EXPECT_EQ(m.title, QString::fromUtf8(shell::AppTitle));
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    EXPECT_EQ(m.icon, ui::Icon::None);
    EXPECT_EQ(prompts_.frameShowing, std::vector<bool>{true});  // the message comes before the frame goes

    EXPECT_TRUE(window().Frame1()->isHidden());
    EXPECT_TRUE(forms_->start().isHidden());
    EXPECT_EQ(window().dbpath.toStdString(), otherPath.string());
    EXPECT_EQ(window().ListView1()->itemCount(), 0);
    EXPECT_EQ(window().ListView1()->columnCount(), 0);
    // Catalogue order is by name: Gamma is last and empty, so Label6 still shows Beta's last record.
    EXPECT_EQ(window().Label5()->text(), "Gamma");
    EXPECT_EQ(window().Label6()->text(), "1200");
    EXPECT_EQ(window().ProgressBar1()->maximum(), 500);
    EXPECT_EQ(window().ProgressBar1()->value(), 500);

    const auto book = tabvert::test::ReadWorkbookFile(root() / "second.xlsx");
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"Gamma", "Beta", "Alpha", "Sheet1"}));
}

TEST_F(ExportCommand, SkippedTablesCannotFillABarThatStillEndsAt100) {
    OpenDatabase(fixtures::EmptyFixture(), "empty.mdb");
    window().ProgressBar1()->setValue(40);
    prompts_.queueFile(QString::fromStdString((root() / "empty.xls").string()));
    prompts_.queueAnswer(ui::Answer::Ok);
    window().ExporttoExcel()->trigger();
    EXPECT_EQ(window().ProgressBar1()->maximum(), 100);
    EXPECT_EQ(window().ProgressBar1()->value(), 40);
    EXPECT_TRUE(fs::exists(root() / "empty.xls"));
}

}  // namespace
}  // namespace tabvert::exporting::test
