// The preview run without any window: the query, the column settings, the progress values and the record
// limit, and real Access files. The window tests show rows, Nulls, empty tables and failures.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "core/database/catalogue.h"
#include "core/database/preview.h"
#include "support/paths.h"
#include "support/preview_fixture.h"

namespace tabvert::database {
namespace {

using Widths = std::vector<std::pair<int, int>>;

// Keeps what a list view would show: the display order of the columns (moves shift the others, as a
// header does), the widths set, the rows and every progress-bar call.
class Recorder : public PreviewSink {
  public:
    void AddColumns(const std::vector<std::string>& names) override {
        captions = names;
        order.resize(names.size());
        std::iota(order.begin(), order.end(), 1);
    }
    void MoveColumn(int index, int position) override {
        order.erase(std::find(order.begin(), order.end(), index));
        order.insert(order.begin() + (position - 1), index);
    }
    void SetColumnWidth(int index, int pixels) override { widths.emplace_back(index, pixels); }
    void AddRow(std::vector<std::string>&& cells) override { rows.push_back(std::move(cells)); }
    void SetProgressMaximum(int maximum) override { progressMaxima.push_back(maximum); }
    void SetProgressValue(int value) override { progress.push_back(value); }

    std::vector<std::string> captions;
    std::vector<int> order;
    Widths widths;
    std::vector<std::vector<std::string>> rows;
    std::vector<int> progressMaxima, progress;
};

// A settings store in a folder of its own, holding these lines under [Settings] (none if empty).
struct SettingsFile {
    explicit SettingsFile(const QByteArray& lines) : store(dir.path()) {
        const QString file = store.FileFor(kSettingsApplication);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (!lines.isEmpty() && out.open(QIODevice::WriteOnly)) out.write("[Settings]\n" + lines);
    }
    QTemporaryDir dir;
    settings::SettingsStore store;
};

TEST(PreviewQuery, NamesTheTableInBracketsDoublingClosingOnes) {
    EXPECT_EQ(PreviewQuery("Order Details"), "select Top 10000 * from [Order Details]");
    EXPECT_EQ(PreviewQuery("a]b"), "select Top 10000 * from [a]]b]");
    EXPECT_EQ(PreviewQuery("]]"), "select Top 10000 * from []]]]]");
    EXPECT_EQ(PreviewQuery("x[y"), "select Top 10000 * from [x[y]");
}

// Settings applied to three columns: the display order and widths, and for a refused value the message and
// what had been applied before it stopped the run.
TEST(ColumnSettings, OrderWidthsAndRefusals) {
    struct Case {
        const char* lines;
        std::vector<int> order;
        Widths widths;
        const char* refusal = "";  // what the message says, if refused
    };
    const Case cases[] = {
        {"", {1, 2, 3}, {}},
        {"ColWidth2=0\nColWidth3=1000\n", {1, 2, 3}, {{2, 0}, {3, 67}}},  // 66.7 pixels round to 67
        {"Col1=3\n", {2, 3, 1}, {}},  // an absent Col2 or Col3 leaves the others where the move put them
        {"Col3=1\nCol1=3\n", {3, 2, 1}, {}},         // applied in index order, whatever the file's order
        {"Col2= 2.5 \n", {1, 2, 3}, {}},             // half rounds to even
        {"Col4=1\nColWidth9=100\n", {1, 2, 3}, {}},  // settings of columns the table lacks are not read
        {"col1=3\ncolwidth2=150\n", {2, 3, 1}, {{2, 10}}},
        {"Col1=abc\n", {1, 2, 3}, {}, "Col1 = \"abc\" is not a number"},
        {"Col2=4\n", {1, 2, 3}, {}, "Col2 = \"4\" is not a position from 1 to 3"},
        {"Col1=0.4\n", {1, 2, 3}, {}, "not a position"},
        {"ColWidth1=wide\n", {1, 2, 3}, {}, "ColWidth1 = \"wide\" is not a number"},
        {"ColWidth2=-15\n", {1, 2, 3}, {}, "ColWidth2 = \"-15\" is not a width"},
        {"ColWidth1=1e300\n", {1, 2, 3}, {}, "is not a width"},
        // Column 1 is placed and sized before column 2's bad position stops the run.
        {"Col1=2\nColWidth1=600\nCol2=9\nColWidth2=600\n", {2, 1, 3}, {{1, 40}}, "Col2"},
        {"Col3=1\nColWidth3=x\n", {3, 1, 2}, {}, "ColWidth3"},  // the position goes before the bad width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        SettingsFile settings(c.lines);
        Recorder sink;
        sink.AddColumns({"A", "B", "C"});
        std::string refusal;
        try {
            ApplyColumnSettings(3, settings.store, sink);
        } catch (const ColumnSettingError& e) {
            refusal = e.what();
        }
        EXPECT_EQ(refusal.empty(), *c.refusal == '\0') << refusal;
        EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        EXPECT_EQ(sink.order, c.order);
        EXPECT_EQ(sink.widths, c.widths);
    }
}

// The bar: 500 as maximum, 0 before the first record, the counter (from 3) after each record up to 499,
// then 0 until and at the end. The table has more records than a preview shows.
TEST(PreviewRun, ProgressAndTheRecordLimit) {
    QTemporaryDir dir;
    const std::string path = test::WritePreviewDatabase(dir.path().toStdString()).string();
    Recorder sink;
    RunPreview(DatabaseChoice{path, false, ""}, "Over", SettingsFile("").store, text::Locale::EnUS(), sink);
    ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(kPreviewRowLimit));
    EXPECT_EQ(sink.rows.back(), (std::vector<std::string>{"10000", "row 10000"}));

    EXPECT_EQ(sink.progressMaxima, std::vector<int>{500});
    std::vector<int> expected{0};
    for (int record = 1; record <= kPreviewRowLimit; ++record)
        expected.push_back(record <= 497 ? record + 2 : 0);
    expected.push_back(0);
    EXPECT_EQ(sink.progress, expected);
}

// A date its type cannot hold, or a stored value that cannot be decoded, shows as an empty cell; the
// rows after it still show.
TEST(PreviewRun, ADateNoCalendarHoldsShowsEmptyAndThePreviewGoesOn) {
    namespace fx = tabvert::fixtures;
    QTemporaryDir dir;
    fx::Database db;
    fx::Table dates =
        test::MakeTable("Dates", {{"ID", fx::ColumnType::Long}, {"When", fx::ColumnType::DateTime}});
    dates.rows = {{std::int64_t{1}, fx::DateTime{1e300}}, {std::int64_t{2}, fx::DateTime{45000.0}}};
    db.tables.push_back(dates);
    fx::Table extended = test::MakeTable(
        "Extended", {{"ID", fx::ColumnType::Long}, {"When", fx::ColumnType::ExtendedDateTime}});
    const std::string notADate = std::string(19, '9') + ":000000000000" + "0000000" + ":7" + '\0';
    extended.rows = {{std::int64_t{1}, notADate}, {std::int64_t{2}, fx::Null{}}};
    db.tables.push_back(extended);
    const std::string path = dir.filePath("dates.mdb").toStdString();
    fx::WriteDatabase(db, path);
    Recorder sink;
    RunPreview(DatabaseChoice{path, false, ""}, "Dates", SettingsFile("").store, text::Locale::EnUS(), sink);
    EXPECT_EQ(sink.rows, (std::vector<std::vector<std::string>>{{"1", ""}, {"2", "3/15/2023"}}));
    Recorder undecoded;
    RunPreview(DatabaseChoice{path, false, ""}, "Extended", SettingsFile("").store, text::Locale::EnUS(),
               undecoded);
    EXPECT_EQ(undecoded.rows, (std::vector<std::vector<std::string>>{{"1", ""}, {"2", ""}}));
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
        for (const CatalogueEntry& table : ListTables(DatabaseChoice{path, false, ""})) {
            SCOPED_TRACE(std::string(file) + " / " + table.name);
            std::string count;
            const std::string quoted = test::ShellQuote(path) + " " + test::ShellQuote(table.name);
            if (test::RunCommand("mdb-count " + quoted + " 2>/dev/null", &count) != 0) continue;  // a query
            Recorder sink;
            EXPECT_NO_THROW(RunPreview(DatabaseChoice{path, false, ""}, table.name, noSettings.store,
                                       text::Locale::EnUS(), sink));
            EXPECT_EQ(sink.rows.size(), std::min<std::size_t>(std::stoul(count), kPreviewRowLimit));
            ++compared;
            for (const auto& row : sink.rows) ASSERT_EQ(row.size(), sink.captions.size());
        }
    }
    EXPECT_GE(compared, 10u);  // the samples hold more tables than that; fewer means the catalogue lost some
}

}  // namespace
}  // namespace tabvert::database
