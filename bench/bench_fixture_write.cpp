// How long the fixture writer takes for a table of generated rows (20 columns of mixed types),
// rows made on demand. Run: build-*/bench_fixture_write
#include <benchmark/benchmark.h>

#include <filesystem>
#include <system_error>

#include "fixtures/fixture_set.h"

namespace {

void BM_WriteGeneratedRows(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    const auto path = std::filesystem::temp_directory_path() / "tabvert_bench_fixture_write.mdb";
    const tabvert::fixtures::Database db = tabvert::fixtures::GeneratedRowsFixture(rows);
    for (auto _ : state) {
        tabvert::fixtures::WriteDatabase(db, path);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::error_code ec;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path, ec)) / 1e6;
    std::filesystem::remove(path, ec);
}
BENCHMARK(BM_WriteGeneratedRows)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
