// The export run's progress bar, which follows each table's share of records done, and the stop the
// user can ask for between two records: nothing is written, a file already at the target is kept.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "core/export/export_run.h"
#include "fixtures/stored_queries.h"
#include "support/export_test_support.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using Outcome = ExportResult::Outcome;

TEST(ProgressBarValue, IsTheShareOfTheRecordCountOrTheOldCounterWithoutOne) {
    EXPECT_EQ(ProgressBarValue(0, 2000), 0);
    EXPECT_EQ(ProgressBarValue(3, 2000), 0);  // rounded down: full only when all are done
    EXPECT_EQ(ProgressBarValue(4, 2000), 1);
    EXPECT_EQ(ProgressBarValue(1000, 2000), 250);
    EXPECT_EQ(ProgressBarValue(1999, 2000), 499);
    EXPECT_EQ(ProgressBarValue(2000, 2000), 500);
    EXPECT_EQ(ProgressBarValue(1, 1), 500);
    // Far more records than the bar has steps, and no overflow on the way.
    EXPECT_EQ(ProgressBarValue(2'000'000'000, 4'000'000'000), 250);
    // A count that is off (a carelessly closed file): the bar stays full past it.
    EXPECT_EQ(ProgressBarValue(2500, 2000), 500);
    // No count, or a count of 0 for a table that has records after all: the record counter up to 499,
    // then 0.
    for (const std::optional<std::int64_t> none :
         {std::optional<std::int64_t>{}, std::optional<std::int64_t>{0}}) {
        EXPECT_EQ(ProgressBarValue(1, none), 1);
        EXPECT_EQ(ProgressBarValue(499, none), 499);
        EXPECT_EQ(ProgressBarValue(500, none), 0);
        EXPECT_EQ(ProgressBarValue(1'000'000, none), 0);
    }
}

// The bar values set while the records of `table` were copied, in order (not the 0 it starts with
// nor the 500 it ends with).
std::vector<int> BarDuringTable(const std::vector<std::string>& events, const std::string& table) {
    std::vector<int> values;
    auto at = std::find(events.begin(), events.end(), "table:" + table);
    bool afterRecord = false;
    for (; at != events.end() && !(at->starts_with("table:") && *at != "table:" + table); ++at) {
        if (at->starts_with("record:")) afterRecord = true;
        if (afterRecord && at->starts_with("bar:")) {
            values.push_back(std::stoi(at->substr(4)));
            afterRecord = false;
        }
    }
    return values;
}

TEST(ExportProgress, BarFollowsTheTablesRecordCountAndAQueryKeepsTheCounter) {
    QTemporaryDir dir;
    fixtures::Database desc;
    desc.tables = {NumberedTable("Big", 2000), NumberedTable("Small", 3)};
    desc.queries = {fixtures::QueryBuilder("AllBig").Table("Big").Star().Build()};
    const std::string db = WriteDb(desc, dir.filePath("progress.mdb").toStdString());
    RecordingObserver observer;
    NameDigitGenerator digits;
    ASSERT_EQ(RunExport(Request(db, dir.filePath("p.xlsx").toStdString()), observer, digits).outcome,
              Outcome::Completed);

    const std::vector<int> big = BarDuringTable(observer.events, "Big");
    ASSERT_EQ(big.size(), 2000u);
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end()));
    EXPECT_GE(big[999], 250);  // half-way through the records, half-way along the bar
    EXPECT_LT(big[998], 250);
    EXPECT_EQ(big.back(), 500);
    EXPECT_EQ(std::set<int>(big.begin(), big.end()).size(), 501u);  // every step of the bar is shown

    EXPECT_EQ(BarDuringTable(observer.events, "Small"), (std::vector<int>{166, 333, 500}));

    // A stored query knows no count before it has run: the record counter, and 0 from 500 on.
    const std::vector<int> query = BarDuringTable(observer.events, "AllBig");
    ASSERT_EQ(query.size(), 2000u);
    EXPECT_EQ(query[498], 499);
    EXPECT_EQ(query[499], 0);
    EXPECT_EQ(query.back(), 0);
    EXPECT_EQ(observer.barValue, 500);
}

// The names of the entries of a folder, hidden ones included.
std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

class ExportStop : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        fixtures::Database desc;
        desc.tables = {NumberedTable("First", 2000), NumberedTable("Second", 10)};
        db_ = WriteDb(desc, Root() / "stop.mdb").string();
    }
    fs::path Root() const { return dir_.path().toStdString(); }
    fs::path Target() const { return Root() / (std::string("out.") + GetParam()); }

    // Exports with a stop that is wanted once `stopWhen` says so, asked before every record.
    ExportResult RunStoppedWhen(const std::function<bool(const RecordingObserver&)>& stopWhen) {
        ExportRequest request = Request(db_, Target().string());
        request.stopWanted = [&] {
            ++asked_;
            return stopWhen(observer_);
        };
        NameDigitGenerator digits;
        return RunExport(request, observer_, digits);
    }
    void ExpectStoppedAndNothingWritten(const ExportResult& result) {
        EXPECT_EQ(result.outcome, Outcome::NothingWritten);
        EXPECT_EQ(result.message, kStoppedText);
        EXPECT_EQ(observer_.messages, std::vector<std::string>{kStoppedText});
        EXPECT_EQ(observer_.events.back(), "frame-");
    }

    QTemporaryDir dir_;
    std::string db_;
    RecordingObserver observer_;
    int asked_ = 0;
};

TEST_P(ExportStop, InTheMiddleOfATableStopsAtTheNextRecordAndKeepsTheOldWorkbook) {
    { std::ofstream(Target(), std::ios::binary) << "the workbook of yesterday"; }
    const std::set<std::string> before = Entries(Root());
    const ExportResult result = RunStoppedWhen([](const RecordingObserver& o) {
        return std::find(o.events.begin(), o.events.end(), "record:700") != o.events.end();
    });

    ExpectStoppedAndNothingWritten(result);
    const auto last = std::find_if(observer_.events.rbegin(), observer_.events.rend(),
                                   [](const std::string& e) { return e.starts_with("record:"); });
    ASSERT_NE(last, observer_.events.rend());
    EXPECT_EQ(*last, "record:700");
    EXPECT_EQ(std::count(observer_.events.begin(), observer_.events.end(), "table:Second"), 0);
    // A table left part-way is not shown as done.
    EXPECT_NE(observer_.events[observer_.events.size() - 3], "bar:500");
    // The file at the target is as it was, and nothing was left beside it.
    EXPECT_TRUE(FileText(Target()) == "the workbook of yesterday");
    EXPECT_EQ(Entries(Root()), before);
}

TEST_P(ExportStop, BeforeTheFirstTableWritesNothingAndReadsNoTable) {
    const std::set<std::string> before = Entries(Root());
    ExpectStoppedAndNothingWritten(RunStoppedWhen([](const RecordingObserver&) { return true; }));
    EXPECT_EQ(asked_, 1);  // once stopped, the run asks no more
    EXPECT_TRUE(std::none_of(observer_.events.begin(), observer_.events.end(),
                             [](const std::string& e) { return e.starts_with("table:"); }));
    EXPECT_FALSE(fs::exists(Target()));
    EXPECT_EQ(Entries(Root()), before);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, ExportStop, ::testing::Values("xlsx", "xls"));

}  // namespace
}  // namespace tabvert::exporting::test
