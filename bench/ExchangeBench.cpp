// Import of CSV rows as export writes them: 10,000 and 100,000 rows of 16
// general slots, 100 sequences and 8 targets (the widest rows a store holds),
// each into a fresh store, in one write group; and the export of the 100,000.
// The goal is seconds, not minutes, for 100,000 rows; the ratio of the two
// imports shows whether the time grows in proportion to the rows.
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "cli/Cli.h"
#include "core/examples/ExampleCsv.h"

namespace morvel {
namespace {

std::string MakeCsv(int rows) {
    std::mt19937 random(7);
    std::string csv = "example";
    for (int s = 1; s <= 16; ++s) csv += ",Standard" + std::to_string(s);
    for (int q = 1; q <= 100; ++q) csv += ",Containsequence " + std::to_string(q);
    for (int t = 0; t < 8; ++t) csv += ",Targett" + std::to_string(t);
    csv += "\r\n";
    for (int r = 1; r <= rows; ++r) {
        csv += std::to_string(r);
        for (int s = 1; s <= 16; ++s) csv += "," + std::to_string(1 + random() % 7);
        // Older examples have no value for the sequences added later.
        for (int q = 1; q <= 100; ++q)
            csv += q > 60 && r < rows / 3 ? "," : "," + std::to_string(1 + random() % 2);
        for (int t = 0; t < 8; ++t) csv += random() % 10 ? ",class " + std::to_string(random() % 12) : ",";
        csv += "\r\n";
    }
    return csv;
}

void Import(benchmark::State& state) {
    const std::string csv = MakeCsv(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = std::make_unique<test::TempDir>();
        Registry registry;
        if (!registry.Open(dir->Store())) return state.SkipWithError("cannot open the store");
        state.ResumeTiming();
        std::int32_t first = 0, count = 0;
        ExampleStore store(registry);
        if (!ImportExamplesCsv(store, csv, &first, &count) || count != state.range(0))
            return state.SkipWithError("the import failed");
        state.PauseTiming();
        dir.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel("rows per second");
}

void Export(benchmark::State& state) {
    test::TempDir dir;
    {
        Registry registry;
        if (!registry.Open(dir.Store())) return state.SkipWithError("cannot open the store");
        std::int32_t first = 0, count = 0;
        ExampleStore store(registry);
        if (!ImportExamplesCsv(store, MakeCsv(static_cast<int>(state.range(0))), &first, &count))
            return state.SkipWithError("the import failed");
    }
    std::vector<std::string> sequences = {"morvel-cli", "--store", dir.Store(), "sequences", "set"};
    for (int q = 1; q <= 100; ++q) sequences.push_back("sequence " + std::to_string(q));
    std::ostringstream out, err;
    RunCli(sequences, out, err);
    for (int t = 0; t < 8; ++t)
        RunCli({"morvel-cli", "--store", dir.Store(), "targets", "add", "t" + std::to_string(t), "T",
                "Free Bayes"},
               out, err);
    for (auto _ : state) {
        std::ostringstream csv;
        if (RunCli({"morvel-cli", "--store", dir.Store(), "export", "--format", "csv"}, csv, err) != 0)
            return state.SkipWithError("the export failed");
        benchmark::DoNotOptimize(csv.str().size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel("rows per second");
}

}  // namespace
}  // namespace morvel

int main(int argc, char** argv) {
    using namespace morvel;
    for (int rows : {10000, 100000})
        benchmark::RegisterBenchmark(("import/" + std::to_string(rows)).c_str(), Import)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    benchmark::RegisterBenchmark("export/100000", Export)
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    return bench::RunWithRatios(argc, argv,
                                {{"import 100000 / import 10000", "import/100000", "import/10000"}});
}
