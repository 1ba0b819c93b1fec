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
        {"Col3=1\nCol1=3\n", {3, 2, 1}, {}},  // applied in index order, whatever the file's order
        {"Col2=1\nCol1=2\n", {2, 1, 3}, {}},
        {"Col2= 2.5 \n", {1, 2, 3}, {}},             // half rounds to even
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
        {"Col2=4\n", "Col2 = \"4\" is not a position from 1 to 3", {1, 2, 3}, {}},
        {"Col1=0.4\n", "not a position", {1, 2, 3}, {}},
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

// The bar: 500 as maximum, 0 before the first record, the counter (from 3) after each record up to 499,
// then 0 until and at the end. The table has more records than a preview shows.
TEST(PreviewRun, ProgressAndTheRecordLimit) {
    QTemporaryDir dir;
    const std::string path = test::WritePreviewDatabase(dir.path().toStdString()).string();
    Recorder sink;
    RunPreview(DatabaseChoice{path, 0, ""}, "Over", SettingsFile("").store(), text::Locale::enUS(), sink);
    ASSERT_EQ(sink.rows.size(), static_cast<std::size_t>(kPreviewRowLimit));
    EXPECT_EQ(sink.rows.back(), (std::vector<std::string>{"10000", "row 10000"}));

    EXPECT_EQ(sink.progressMaxima, std::vector<int>{500});
    ASSERT_EQ(sink.progress.size(), sink.rows.size() + 2);
    EXPECT_EQ(sink.progress.front(), 0);
    for (std::size_t record = 1; record <= sink.rows.size(); ++record) {
        const int expected = record <= 497 ? static_cast<int>(record) + 2 : 0;
        ASSERT_EQ(sink.progress[record], expected) << "after record " << record;
    }
    EXPECT_EQ(sink.progress.back(), 0);
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
