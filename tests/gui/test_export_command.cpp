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
#include <fstream>
#include <memory>

#include "core/export/export_run.h"
#include "fixtures/fixture_set.h"
#include "gui/app_title.h"
#include "gui/auto_size_label.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"
#include "support/export_test_support.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;

// Scripted answers that also note whether the progress frame was showing when each message came.
class WatchingPrompts : public ui::ScriptedPrompts {
  public:
    ui::Answer Message(QWidget* parent, const ui::MessageRequest& request) override {
        frameShowing.push_back(frame && !frame->isHidden());
        return ScriptedPrompts::Message(parent, request);
    }
    QGroupBox* frame = nullptr;
    std::vector<bool> frameShowing;
};

class ExportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        windows_ = std::make_unique<shell::Windows>(prompts_);
        prompts_.frame = Window().ExportFrame();
    }

    shell::MainWindow& Window() { return windows_->mainWindow(); }
    fs::path Root() const { return dir_.path().toStdString(); }

    // Opens a database the way OK in the open-database dialog does.
    void OpenDatabase(const fixtures::Database& db, const std::string& file) {
        const fs::path path = WriteDb(db, Root() / file);
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path.string()));
        Window().OpenDatabase();
        ASSERT_GT(Window().tableTree()->topLevelItemCount(), 0);
    }
    // Chooses `target` in the save dialog and confirms the closing message.
    void ExportTo(const fs::path& target, bool fromMenu = true) {
        prompts_.QueueFile(QString::fromStdString(target.string()));
        prompts_.QueueAnswer(ui::Answer::Ok);
        fromMenu ? Window().ExportAction()->trigger() : Window().ClickToolbarButton(2);
    }

    QTemporaryDir dir_;
    WatchingPrompts prompts_;
    std::unique_ptr<shell::Windows> windows_;
};

// A plain OK message under the program's title.
void ExpectPlainMessage(const ui::MessageRequest& m, const QString& text) {
    EXPECT_EQ(m.text, text);
    EXPECT_TRUE(m.title == QString::fromUtf8(shell::AppTitle) && m.buttons == ui::Buttons::Ok &&
                m.icon == ui::Icon::None);
}

TEST_F(ExportCommand, WithoutADatabaseOnlyAsksToOpenOne) {
    Window().TargetPathBox()->setText("/earlier/export.xls");
    for (const bool menu : {true, false}) {
        SCOPED_TRACE(menu ? "menu" : "toolbar button 2");
        prompts_.QueueAnswer(ui::Answer::Ok);
        menu ? Window().ExportAction()->trigger() : Window().ToolbarButton(2)->click();
        ASSERT_EQ(prompts_.Messages().size(), menu ? 1u : 2u);
        ExpectPlainMessage(prompts_.Messages().back(), "Please open access database file.");
        EXPECT_TRUE(prompts_.FileDialogs().empty());
        EXPECT_EQ(Window().TargetPathBox()->text(), "/earlier/export.xls");
    }
}

TEST_F(ExportCommand, CancellingTheDialogStartsNothingAndAnAnswerBecomesTheWorkbookPath) {
    OpenDatabase(fixtures::AccdbFixture(), "small.accdb");
    Window().TargetPathBox()->setText("/earlier/export.xls");
    Window().PreviewList()->AddColumn("Kept");
    Window().PreviewList()->AddItem("row");
    prompts_.QueueFile(std::nullopt);
    Window().ClickToolbarButton(2);
    ASSERT_EQ(prompts_.FileDialogs().size(), 1u);
    const ui::FileDialogRequest& d = prompts_.FileDialogs()[0];
    EXPECT_TRUE(d.kind == ui::FileDialogKind::Save && d.fileName.isEmpty() && d.confirmOverwrite);
    EXPECT_EQ(d.filter,
              "Select excel file (*.xls)|*.xls| Excel 2007-2010 (*.xlsx)|*.xlsx| All files (*.*)|*.*  ");
    EXPECT_EQ(Window().TargetPathBox()->text(), "");
    EXPECT_TRUE(prompts_.Messages().empty());
    EXPECT_EQ(Window().PreviewList()->ItemCount(), 1);
    EXPECT_TRUE(Window().ExportFrame()->isHidden());

    fs::create_directory(Root() / "old.mdb");
    const std::string base = Root().string() + "/";
    // What the user picks, what the target path box then holds, and the file the workbook lands in.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"out.mdb", "out.xls", "out.xls"},                                  // a lower-case ".mdb" ending
        {"OUT.MDB", "OUT.MDB", "OUT.MDB"},                                  // any other case is kept
        {"old.mdb/copy.mdb", "old.mdb/copy.xls", "old.mdb/copy.xls"},       // only at the end of the name
        {"a\\\\\\b.xlsx", "a\\\\\\b.xlsx", "a\\\\b.xlsx"},                  // three backslashes become two
        {"c\\\\\\\\\\\\d.xlsx", "c\\\\\\\\\\\\d.xlsx", "c\\\\\\\\d.xlsx"},  // six become four
    };
    for (const auto& [chosen, stored, written] : cases) {
        SCOPED_TRACE(chosen);
        const std::size_t before = prompts_.Messages().size();
        ExportTo(base + chosen);
        EXPECT_EQ(Window().TargetPathBox()->text().toStdString(), base + stored);
        EXPECT_TRUE(fs::exists(base + written));
        EXPECT_EQ(fs::exists(base + stored), std::string(written) == stored);
        ASSERT_EQ(prompts_.Messages().size(), before + 1);
        EXPECT_EQ(prompts_.Messages().back().text, kCompletedText);
        EXPECT_TRUE(prompts_.AllAnswersUsed());
    }
}

TEST_F(ExportCommand, ANameWithoutExtensionTakesThatOfTheChosenFileType) {
    OpenDatabase(fixtures::AccdbFixture(), "small.accdb");
    // Typed name, file type chosen (1 .xls, 2 .xlsx, 3 all files), the path the run writes.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"typed", 2, "typed.xlsx"},
        {"typed", 1, "typed.xls"},
        {"kept.xls", 2, "kept.xls"},
        {"any", 3, "any.xls"},  // no type named: the save's own rule
    };
    for (const auto& [typed, type, written] : cases) {
        SCOPED_TRACE(std::string(typed) + " as type " + std::to_string(type));
        const fs::path dir = Root() / ("type" + std::to_string(type));
        fs::create_directory(dir);
        prompts_.QueueFile(QString::fromStdString((dir / typed).string()), type);
        prompts_.QueueAnswer(ui::Answer::Ok);
        Window().ExportAction()->trigger();
        EXPECT_TRUE(fs::exists(dir / written));
        // Office Open XML is a zip archive; the Excel 97-2003 format is not.
        EXPECT_EQ(FileText(dir / written).rfind("PK", 0) == 0, std::string(written).ends_with(".xlsx"));
    }
}

TEST_F(ExportCommand, RunLeavesTheWindowAsDescribed) {
    OpenDatabase(fixtures::AccdbFixture(), "first.accdb");
    // The run reads the dialog as it stands now, not as it was when the tree was filled.
    fixtures::Database other;
    other.tables = {NumberedTable("Alpha", 3), NumberedTable("Beta", 1200), NumberedTable("Gamma", 0)};
    const fs::path otherPath = WriteDb(other, Root() / "second.mdb");
    windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(otherPath.string()));
    Window().PreviewList()->AddColumn("Old");
    Window().PreviewList()->AddItem("old row");
    prompts_.frameShowing.clear();
    ExportTo(Root() / "second.xlsx", false);

    ASSERT_EQ(prompts_.Messages().size(), 1u);
    ExpectPlainMessage(prompts_.Messages()[0], kCompletedText);
    EXPECT_EQ(prompts_.frameShowing, std::vector<bool>{true});  // the message comes before the frame goes

    EXPECT_TRUE(Window().ExportFrame()->isHidden() && windows_->OpenDatabaseDialog().isHidden());
    EXPECT_EQ(Window().databasePath.toStdString(), otherPath.string());
    EXPECT_EQ(Window().PreviewList()->ItemCount() + Window().PreviewList()->ColumnCount(), 0);
    // Catalogue order is by name: Gamma is last and empty, so the record label still shows Beta's last
    // record.
    EXPECT_EQ(Window().CurrentTableLabel()->text(), "Gamma");
    EXPECT_EQ(Window().CurrentRecordLabel()->text(), "1200");
    EXPECT_EQ(std::make_pair(Window().ProgressBar()->maximum(), Window().ProgressBar()->value()),
              std::make_pair(500, 500));
}

TEST_F(ExportCommand, SkippedTablesCannotFillABarThatStillEndsAt100) {
    OpenDatabase(fixtures::EmptyFixture(), "empty.mdb");
    Window().ProgressBar()->setValue(40);
    ExportTo(Root() / "empty.xls");
    EXPECT_EQ(std::make_pair(Window().ProgressBar()->maximum(), Window().ProgressBar()->value()),
              std::make_pair(100, 40));
    EXPECT_TRUE(fs::exists(Root() / "empty.xls"));
}

// The window reads the [Export] section of the settings file at each export: with AttachmentsFolder
// set, OLE objects go to files in that folder (taken from the workbook's folder) and their cells name them.
TEST_F(ExportCommand, TheExportSettingsAreReadAtEachExport) {
    fixtures::Table pictures;
    pictures.name = "Pictures";
    pictures.columns = {{"ID", fixtures::ColumnType::Long}, {"Image", fixtures::ColumnType::Ole}};
    pictures.rows = {{std::int64_t{1}, fixtures::Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}}};
    fixtures::Database db;
    db.tables = {pictures};
    OpenDatabase(db, "pictures.mdb");

    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Root() / "config").string()));
    ExportTo(Root() / "before.xlsx");
    fs::create_directories(Root() / "config/Norrin Tabvert");
    std::ofstream(Root() / "config/Norrin Tabvert/Norrin Tabvert.ini")
        << "[Export]\nAttachmentsFolder=objects\n";
    ExportTo(Root() / "after.xlsx");
    qputenv("XDG_CONFIG_HOME", savedConfig);

    EXPECT_TRUE(fs::exists(Root() / "before.xlsx") && fs::exists(Root() / "after.xlsx"));
    EXPECT_EQ(FileText(Root() / "objects/Pictures/1-Image.gif"), std::string("GIF89a\1\0\1\0", 10));
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Root() / "objects"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);  // the first export, without the setting, wrote none
}

}  // namespace
}  // namespace tabvert::exporting::test
