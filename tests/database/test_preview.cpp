// The preview run without any window: the query, the column settings, the rows and the progress values it
// hands over, and what has been handed over when something fails.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "database/preview.h"
#include "platform/provider/provider_error.h"
#include "support/paths.h"
#include "test_preview_fixture.h"

namespace tabvert::database {
namespace {

// Keeps what a list view would show: the display order of the columns (moves shift the others, as a
// header does), the widths set, the rows and every progress-bar call.
class Recorder : public PreviewSink {
public:
    void addColumns(const std::vector<std::string>& names) override {
        captions = names;
        order.resize(names.size());
        std::iota(order.begin(), order.end(), 1);
    }
    void moveColumn(int index, int position) override {
        order.erase(std::find(order.begin(), order.end(), index));
        order.insert(order.begin() + (position - 1), index);
    }
    void setColumnWidth(int index, int pixels) override { widths.emplace_back(index, pixels); }
    void addRow(std::vector<std::string>&& cells) override { rows.push_back(std::move(cells)); }
    void setProgressMaximum(int maximum) override { progressMaxima.push_back(maximum); }
    void setProgressValue(int value) override { progress.push_back(value); }

    std::vector<std::string> captions;
    std::vector<int> order;
    std::vector<std::pair<int, int>> widths;
    std::vector<std::vector<std::string>> rows;
    std::vector<int> progressMaxima;
    std::vector<int> progress;
};

class SettingsFile {
public:
    explicit SettingsFile(const QByteArray& lines) : store_(dir_.path()) {
        if (lines.isEmpty()) return;
        const QString file = store_.fileFor(kSettingsApplication);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) out.write("[Settings]\n" + lines);
    }
    const settings::SettingsStore& store() const { return store_; }

private:
    QTemporaryDir dir_;
    settings::SettingsStore store_;
};

TEST(PreviewQuery, NamesTheTableInBrackets) {
    EXPECT_EQ(PreviewQuery("Orders"), "select Top 10000 * from [Orders]");
    EXPECT_EQ(PreviewQuery("Order Details"), "select Top 10000 * from [Order Details]");
    EXPECT_EQ(PreviewQuery("a]b"), "select Top 10000 * from [a]]b]");
    EXPECT_EQ(PreviewQuery("]]"), "select Top 10000 * from []]]]]");
    EXPECT_EQ(PreviewQuery("x[y"), "select Top 10000 * from [x[y]");
}

TEST(ColumnSettings, OrderAndWidths) {
    struct Case {
        const char* lines;
        std::vector<int> order;
        std::vector<std::pair<int, int>> widths;
    };
    const Case cases[] = {
        {"", {1, 2, 3}, {}},
        {"ColWidth1=3000\n", {1, 2, 3}, {{1, 200}}},
        {"ColWidth2=0\nColWidth3=1000\n", {1, 2, 3}, {{2, 0}, {3, 67}}},  // 66.7 pixels round to 67
        {"Col1=3\n", {2, 3, 1}, {}},  // an absent Col2 or Col3 leaves the others where the move put them
        {"Col1=3\nCol3=1\n", {3, 2, 1}, {}},
        {"Col3=1\nCol1=3\n", {3, 2, 1}, {}},  // applied in index order, whatever the file's order
        {"Col2=1\nCol1=2\n", {2, 1, 3}, {}},
        {"Col2= 2.5 \n", {1, 2, 3}, {}},  // half rounds to even
        {"Col1=2.5\n", {2, 1, 3}, {}},
        {"Col4=1\nColWidth9=100\n", {1, 2, 3}, {}},  // settings of columns the table lacks are not read
        {"col1=3\ncolwidth2=150\n", {2, 3, 1}, {{2, 10}}},
    };
    for (const Case& c : cases) {
        SettingsFile settings(c.lines);
        Recorder sink;
        sink.addColumns({"A", "B", "C"});
        ApplyColumnSettings(3, settings.store(), sink);
        EXPECT_EQ(sink.order, c.order) << c.lines;
        EXPECT_EQ(sink.widths, c.widths) << c.lines;
    }
}

TEST(ColumnSettings, RefusedValuesStopAndKeepWhatWasApplied) {
    struct Case {
        const char* lines;
        const char* messagePart;
        std::vector<int> order;
        std::vector<std::pair<int, int>> widths;
    };
    const Case cases[] = {
        {"Col1=abc\n", "Col1 = \"abc\" is not a number", {1, 2, 3}, {}},
        {"Col1=\n", "Col1 = \"\" is not a number", {1, 2, 3}, {}},
        {"Col1=0\n", "Col1 = \"0\" is not a position from 1 to 3", {1, 2, 3}, {}},
        {"Col2=4\n", "Col2 = \"4\" is not a position from 1 to 3", {1, 2, 3}, {}},
        {"Col1=0.4\n", "not a position", {1, 2, 3}, {}},
        {"Col1=nan\n", "not a number", {1, 2, 3}, {}},
        {"ColWidth1=wide\n", "ColWidth1 = \"wide\" is not a number", {1, 2, 3}, {}},
        {"ColWidth2=-15\n", "ColWidth2 = \"-15\" is not a width", {1, 2, 3}, {}},
        {"ColWidth1=1e300\n", "is not a width", {1, 2, 3}, {}},
        // Column 1 is placed and sized before column 2's bad position stops the run.
        {"Col1=2\nColWidth1=600\nCol2=9\nColWidth2=600\n", "Col2", {2, 1, 3}, {{1, 40}}},
        // A column's position is applied before its bad width.
        {"Col3=1\nColWidth3=x\n", "ColWidth3", {3, 1, 2}, {}},
    };
    for (const Case& c : cases) {
        SettingsFile settings(c.lines);
        Recorder sink;
        sink.addColumns({"A", "B", "C"});
        try {
            ApplyColumnSettings(3, settings.store(), sink);
            ADD_FAILURE() << "accepted: " << c.lines;
        } catch (const ColumnSettingError& e) {
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
        }
        EXPECT_EQ(sink.order, c.order) << c.lines;
        EXPECT_EQ(sink.widths, c.widths) << c.lines;
    }
}

class PreviewRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        path_ = test::WritePreviewDatabase(dir_->path().toStdString()).string();
    }
    static void TearDownTestSuite() { delete dir_; }

    static Recorder Run(const std::string& table, const SettingsFile& settings = SettingsFile("")) {
        Recorder sink;
        RunPreview(DatabaseChoice{path_, 0, ""}, table, settings.store(), text::Locale::enUS(), sink);
        return sink;
    }

    static QTemporaryDir* dir_;
    static std::string path_;
};
QTemporaryDir* PreviewRun::dir_ = nullptr;
std::string PreviewRun::path_;

TEST_F(PreviewRun, FieldsBecomeColumnsAndRecordsRowsWithNullEmpty) {
    const Recorder sink = Run("People");
    EXPECT_EQ(sink.captions, (std::vector<std::string>{"ID", "Name", "Born", "Note"}));
    const std::vector<std::vector<std::string>> expected = {
        {"1", "Ada", "12/10/1815", "first"},
        {"", "Nobody", "", ""},
        {"3", "", "2/3/2001 4:05:06 AM", "x"},
    };
    EXPECT_EQ(sink.rows, expected);

    const Recorder one = Run("One");
    EXPECT_EQ(one.captions, std::vector<std::string>{"Only"});
    EXPECT_EQ(one.rows, (std::vector<std::vector<std::string>>{{"a"}, {"b"}, {""}}));
}

TEST_F(PreviewRun, ProgressCountsFromThreeAndRestsAtZeroFrom498) {
    const Recorder sink = Run("Over");
    ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(kPreviewRowLimit));
    EXPECT_EQ(sink.rows.front(), (std::vector<std::string>{"1", "row 1"}));
    EXPECT_EQ(sink.rows.back(), (std::vector<std::string>{"10000", "row 10000"}));

    EXPECT_EQ(sink.progressMaxima, std::vector<int>{500});
    // One value before the first record, one per record, one at the end.
    ASSERT_EQ(sink.progress.size(), sink.rows.size() + 2);
    EXPECT_EQ(sink.progress.front(), 0);
    for (std::size_t record = 1; record <= sink.rows.size(); ++record) {
        const int expected = record <= 497 ? static_cast<int>(record) + 2 : 0;
        ASSERT_EQ(sink.progress[record], expected) << "after record " << record;
    }
    EXPECT_EQ(sink.progress.back(), 0);
}

TEST_F(PreviewRun, EmptyTableShowsHeadersOnly) {
    const Recorder sink = Run("Empty");
    EXPECT_EQ(sink.captions, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_EQ(sink.progress, (std::vector<int>{0, 0}));
}

TEST_F(PreviewRun, BracketInTheNameIsReadLikeAnyOtherTable) {
    const Recorder sink = Run("a]b");
    EXPECT_EQ(sink.rows, (std::vector<std::vector<std::string>>{{"inside"}, {"bracket"}}));
}

TEST_F(PreviewRun, ColumnSettingsApplyToTheTableRead) {
    const Recorder sink = Run("People", SettingsFile("Col1=4\nColWidth1=3000\n"));
    EXPECT_EQ(sink.order, (std::vector<int>{2, 3, 4, 1}));
    EXPECT_EQ(sink.widths, (std::vector<std::pair<int, int>>{{1, 200}}));
    EXPECT_EQ(sink.rows.size(), 3u);
}

TEST_F(PreviewRun, FailuresKeepWhatWasHandedOver) {
    // A refused setting stops the run after the headers, before any record or progress value.
    Recorder sink;
    SettingsFile bad("Col2=7\n");
    EXPECT_THROW(RunPreview(DatabaseChoice{path_, 0, ""}, "People", bad.store(), text::Locale::enUS(), sink),
                 ColumnSettingError);
    EXPECT_EQ(sink.captions.size(), 4u);
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_TRUE(sink.progress.empty());

    struct Case {
        std::string path;
        std::string table;
    };
    const Case failures[] = {
        {path_, "NoSuchTable"},
        {"", "People"},  // the dialog was cancelled: an empty path
        {dir_->filePath("missing.mdb").toStdString(), "People"},
    };
    for (const Case& c : failures) {
        Recorder nothing;
        try {
            RunPreview(DatabaseChoice{c.path, 0, ""}, c.table, SettingsFile("").store(), text::Locale::enUS(),
                       nothing);
            ADD_FAILURE() << "no failure for " << c.path << " / " << c.table;
        } catch (const ado::ProviderError& e) {
            EXPECT_FALSE(e.description().empty());
        }
        EXPECT_TRUE(nothing.captions.empty());
        EXPECT_TRUE(nothing.rows.empty());
    }
}

// Every table the catalogue lists in real Access files previews with as many rows as mdbtools counts.
TEST(PreviewSamples, EveryListedTableShowsItsRows) {
    const std::filesystem::path samples = test::SamplesDir();
    if (samples.empty()) GTEST_SKIP() << "no sample databases";
    const SettingsFile noSettings("");
    std::size_t compared = 0;
    for (const char* file : {"testV2000.mdb", "testV2003.mdb", "testV2007.accdb", "noRoman.mdb",
                             "overflowTestV2003.mdb", "test2V2003.mdb", "queryTestV2003.mdb"}) {
        const std::string path = (samples / file).string();
        for (const CatalogueEntry& table : ListTables(DatabaseChoice{path, 0, ""})) {
            std::string count;
            if (test::RunCommand("mdb-count " + test::ShellQuote(path) + " " + test::ShellQuote(table.name) +
                                     " 2>/dev/null",
                                 &count) != 0) {
                continue;  // not a table mdbtools can count (a stored query)
            }
            Recorder sink;
            try {
                RunPreview(DatabaseChoice{path, 0, ""}, table.name, noSettings.store(), text::Locale::enUS(),
                           sink);
            } catch (const ado::ProviderError& e) {
                ADD_FAILURE() << file << " / " << table.name << ": " << e.description();
                continue;
            }
            const std::size_t expected = std::min<std::size_t>(std::stoul(count), kPreviewRowLimit);
            EXPECT_EQ(sink.rows.size(), expected) << file << " / " << table.name;
            ++compared;
            for (const auto& row : sink.rows) ASSERT_EQ(row.size(), sink.captions.size());
        }
    }
    EXPECT_GE(compared, 10u);  // the samples hold more tables than that; fewer means the catalogue lost some
}

}  // namespace
}  // namespace tabvert::database
