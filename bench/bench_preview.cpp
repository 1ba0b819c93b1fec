// How long a preview takes to reach the screen: filling ListView1 with 10,000 rows of 20 columns from
// ready-made texts, and a whole preview run of the 20-column "Big" fixture (12,345 rows, of which the
// first 10,000 are shown). Run: build-*/bench_preview (QT_QPA_PLATFORM=offscreen without a display).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProgressBar>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "core/database/preview.h"
#include "fixtures/fixture_set.h"
#include "gui/list_view.h"
#include "gui/preview_list.h"

namespace {

using tabvert::database::PreviewListFiller;

constexpr int kRows = 10'000;
constexpr int kColumns = 20;

std::vector<std::vector<std::string>> MakeRows() {
    std::vector<std::vector<std::string>> rows(kRows);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            rows[r].push_back("row " + std::to_string(r) + " col " + std::to_string(c));
    }
    return rows;
}

// The list and the bar shown at their sizes on the main window, so that the batch's end lays out and
// paints rows and the bar repaints as its value changes.
struct Screen {
    Screen() {
        list.resize(449, 369);
        list.show();
        progress.resize(673, 17);
        progress.show();
        QApplication::processEvents();
    }
    tabvert::shell::ListView list;
    QProgressBar progress;
};

void BM_FillList(benchmark::State& state) {
    const auto rows = MakeRows();
    std::vector<std::string> captions;
    for (int c = 0; c < kColumns; ++c) captions.push_back("Column" + std::to_string(c + 1));
    Screen screen;
    for (auto _ : state) {
        screen.list.ClearItems();
        screen.list.ClearColumns();
        {
            PreviewListFiller filler(screen.list, screen.progress);
            filler.AddColumns(captions);
            for (const auto& row : rows) {
                auto cells = row;
                filler.AddRow(std::move(cells));
            }
        }
        QApplication::processEvents();  // the one repaint
    }
    state.counters["rows"] = screen.list.ItemCount();
}
BENCHMARK(BM_FillList)->Unit(benchmark::kMillisecond);

void BM_PreviewRunBig(benchmark::State& state) {
    QTemporaryDir dir;
    const auto path = tabvert::fixtures::WriteFixtureInto("big", dir.path().toStdString());
    const tabvert::settings::SettingsStore store(dir.path());
    const auto locale = tabvert::text::Locale::EnUS();
    Screen screen;
    for (auto _ : state) {
        screen.list.ClearItems();
        screen.list.ClearColumns();
        {
            PreviewListFiller filler(screen.list, screen.progress);
            tabvert::database::RunPreview({path.string(), 0, ""}, "Big", store, locale, filler);
        }
        QApplication::processEvents();
    }
    state.counters["rows"] = screen.list.ItemCount();
    state.counters["columns"] = screen.list.ColumnCount();
}
BENCHMARK(BM_PreviewRunBig)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
