// The preview on the main window: a click on a node of the table tree fills the preview list and drives the
// bar; column settings come from the user's settings file; failures show one message and keep the list.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "core/settings/settings_store.h"
#include "core/value/value_text.h"
#include "fixtures/access_writer.h"
#include "gui/catalogue_tree.h"
#include "gui/list_view.h"
#include "gui/main_window.h"
#include "gui/open_database_dialog.h"
#include "gui/platform/prompts.h"
#include "gui/preview_list.h"
#include "gui/windows.h"
#include "support/preview_fixture.h"

namespace tabvert::database {
namespace {

namespace fx = tabvert::fixtures;

class PreviewWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // The settings store follows the user's configuration folder; point it at an empty one.
        if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
        path_ = test::WritePreviewDatabase(dir_.path().toStdString());
        windows_ = std::make_unique<shell::Windows>(prompts_);
        windows_->OpenDatabaseDialog().DatabasePathBox()->setText(QString::fromStdString(path_.string()));
        Window().show();
        Window().OpenDatabase();
        ASSERT_TRUE(prompts_.Messages().empty());
    }
    void TearDown() override {
        windows_.reset();
        savedConfigHome_ ? qputenv("XDG_CONFIG_HOME", *savedConfigHome_) : qunsetenv("XDG_CONFIG_HOME");
    }

    shell::MainWindow& Window() { return windows_->mainWindow(); }
    shell::ListView& List() { return *Window().PreviewList(); }

    void WriteSettings(const QByteArray& lines) {
        QFile out(settings::SettingsStore().FileFor("Norrin Tabvert"));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(out).absolutePath()) && out.open(QIODevice::WriteOnly));
        out.write("[Settings]\n" + lines);
    }

    // Clicks this node, or the one node with this text, with the mouse.
    void Click(QTreeWidgetItem* node) {
        QTreeWidget* tree = Window().tableTree();
        ASSERT_NE(node, nullptr);
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    }
    void Click(const QString& text) {
        const auto found = Window().tableTree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        Click(found.front());
    }

    QStringList Row(int row) {
        QStringList cells;
        for (int c = 1; c <= List().ColumnCount(); ++c) cells << List().ItemText(row, c);
        return cells;
    }

    // Clicks the node of this key, which shows this text, and expects these rows of one field.
    void ExpectOneFieldRows(const QString& key, const QString& text, const QList<QStringList>& rows) {
        SCOPED_TRACE(key.toStdString());
        QTreeWidgetItem* node = FindNodeByKey(*Window().tableTree(), key);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(0), text);
        Click(node);
        EXPECT_EQ(List().ListModel()->columnCount(), 1);
        QList<QStringList> shown;
        for (int r = 0; r < List().ItemCount(); ++r) shown << Row(r);
        EXPECT_EQ(shown, rows);
    }

    QTemporaryDir dir_;
    std::optional<QByteArray> savedConfigHome_;
    std::filesystem::path path_;
    ui::ScriptedPrompts prompts_;
    std::unique_ptr<shell::Windows> windows_;
};

TEST_F(PreviewWindow, TableClicksShowFieldsAndRecords) {
    Click("People");
    ASSERT_EQ(List().ColumnCount(), 4);
    EXPECT_EQ(List().ColumnTitle(4), "Note");
    ASSERT_EQ(List().ItemCount(), 3);
    // Values in the user's locale, by the same rule as the export.
    const std::string born = text::ValueToText(ado::Variant::Date(fx::DateTime::FromParts(1815, 12, 10).ole),
                                               text::Locale::System());
    EXPECT_EQ(Row(0), (QStringList{"1", "Ada", QString::fromStdString(born), "first"}));
    // Null in the first field is an item with empty text; Null further on an empty cell.
    EXPECT_EQ(Row(1), (QStringList{"", "Nobody", "", ""}));

    // Tables of one field: one column, items without sub-items. A "]" in a name is no obstacle.
    ExpectOneFieldRows("T_One", "One", {{"a"}, {"b"}, {""}});
    ExpectOneFieldRows("T_a]b", "a]b", {{"inside"}, {"bracket"}});

    // At most 10,000 records; the bar ends at 0, also for a table without records, which shows headers only.
    Click("Over");
    ASSERT_EQ(List().ItemCount(), 10000);
    EXPECT_EQ(Row(9999), (QStringList{"10000", "row 10000"}));
    EXPECT_EQ(Window().ProgressBar()->value(), 0);
    Window().ProgressBar()->setValue(42);
    Click("Empty");
    EXPECT_EQ(List().ColumnCount(), 2);
    EXPECT_EQ(List().ItemCount(), 0);
    EXPECT_EQ(Window().ProgressBar()->value(), 0);
    EXPECT_TRUE(prompts_.Messages().empty());
}

// Both nodes show "Twin"; each reads the table it stands for, not the first one of that text. The schema
// sorts " Twin " before "Twin", so the padded table gets the plain key.
TEST_F(PreviewWindow, NodesThatTrimAlikePreviewTheirOwnTables) {
    ExpectOneFieldRows("T_Twin", "Twin", {{"padded"}, {"twin"}});
    ExpectOneFieldRows("T_Twin#2", "Twin", {{"plain"}});
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(PreviewWindow, EveryTableClickReadsAfreshAndARootClickOpensNothing) {
    Click("One");
    ASSERT_EQ(List().ItemCount(), 3);
    fx::Database changed = test::PreviewDatabase();
    for (fx::Table& table : changed.tables) {
        if (table.name == "One") table.rows = {{std::string("fresh")}};
    }
    fx::WriteDatabase(changed, path_);
    Click("One");
    ASSERT_EQ(List().ItemCount(), 1);
    EXPECT_EQ(Row(0), QStringList{"fresh"});

    // With the file gone, any attempt to open it would show the provider's message.
    ASSERT_TRUE(std::filesystem::remove(path_));
    Click(QString::fromStdString(path_.string()));
    EXPECT_EQ(List().ColumnCount(), 0);
    EXPECT_EQ(List().ItemCount(), 0);
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(PreviewWindow, ColumnSettingsApplyOnEveryPreviewAndARefusedOneShowsAMessage) {
    Click("People");
    const int defaultWidth = List().ColumnWidthAt(1);
    EXPECT_NE(defaultWidth, 200);

    WriteSettings("ColWidth1=3000\nCol1=2\n");
    for (const char* table : {"People", "Empty", "People"}) {
        Click(table);
        EXPECT_TRUE(prompts_.Messages().empty()) << table;
        const std::array widthsAndPositions{List().ColumnWidthAt(1), List().ColumnWidthAt(2),
                                            List().ColumnPosition(1), List().ColumnPosition(2)};
        EXPECT_EQ(widthsAndPositions, (std::array{200, defaultWidth, 2, 1})) << table;
    }
    // The moved column keeps its texts: the item text is still the first field.
    EXPECT_EQ(List().ItemText(0, 1), "1");
    EXPECT_EQ(List().header()->logicalIndex(0), 1);

    // A refused setting shows one message and keeps the columns. Col1=4 suits four fields but not two.
    WriteSettings("Col1=4\n");
    Click("People");
    EXPECT_TRUE(prompts_.Messages().empty());
    EXPECT_EQ(List().ColumnPosition(1), 4);

    Click("Empty");
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_TRUE(prompts_.Messages().front().text.contains("Col1"));
    EXPECT_EQ(List().ColumnCount(), 2);

    WriteSettings("ColWidth2=wide\n");
    Click("People");
    ASSERT_EQ(prompts_.Messages().size(), 2u);
    EXPECT_TRUE(prompts_.Messages().back().text.contains("ColWidth2"));
    EXPECT_EQ(List().ColumnCount(), 4);
    EXPECT_EQ(List().ItemCount(), 0);

    // Without settings the next preview is back to default widths and field order.
    QFile::remove(settings::SettingsStore().FileFor("Norrin Tabvert"));
    Click("People");
    EXPECT_EQ(List().ColumnWidthAt(1), defaultWidth);
    EXPECT_EQ(List().ColumnPosition(1), 1);
}

TEST_F(PreviewWindow, AfterCancelAClickShowsTheProvidersMessage) {
    Click("People");
    windows_->OpenDatabaseDialog().ClickCancel();
    Click("People");
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_FALSE(prompts_.Messages().front().text.isEmpty());
    EXPECT_EQ(Window().databasePath, "");
    EXPECT_EQ(List().ColumnCount(), 0);
    EXPECT_EQ(List().ItemCount(), 0);
    EXPECT_FALSE(windows_->OpenDatabaseDialog().isVisible());  // the freshly loaded dialog stays hidden
}

// The filler shows its rows all at once when it goes away, also when a failure ends the run early, so
// the list is complete before the failure's message box appears.
TEST(PreviewListFiller, ShowsRowsWhenItEndsEvenAfterAFailure) {
    shell::ListView list;
    QProgressBar bar;
    try {
        PreviewListFiller filler(list, bar);
        filler.AddColumns({"A", "B", "C"});
        filler.AddRow({"1", "x", ""});
        filler.AddRow({"", "y", "z"});
        EXPECT_EQ(list.ListModel()->rowCount(), 0);  // nothing announced while the run goes on
        throw std::runtime_error("the provider fails on the third record");
    } catch (const std::runtime_error&) {
    }
    ASSERT_EQ(list.ListModel()->rowCount(), 2);
    EXPECT_EQ(list.ItemText(0, 1), "1");
    EXPECT_EQ(list.ItemText(1, 3), "z");
    EXPECT_EQ(list.ColumnTitle(3), "C");
}

}  // namespace
}  // namespace tabvert::database
