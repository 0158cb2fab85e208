// Reads of one existing value from the store, alone and inside a read snapshot.
#include <benchmark/benchmark.h>

#include <optional>

#include "TestSupport.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

const std::string kExamples = std::string(kBaseKey) + "\\Examples";

void BM_GetKeyNumber(benchmark::State& state) {
    test::TempDir dir;
    Registry registry;
    if (!registry.Open(dir.Store())) return state.SkipWithError("cannot open the store");
    registry.OpenKey(kExamples);
    registry.SetKeyNumber(kExamples, "Count", 42);
    const bool snapshot = state.range(0) != 0;
    std::optional<Registry::ReadSnapshot> read;
    if (snapshot) read.emplace(registry);
    for (auto _ : state) benchmark::DoNotOptimize(registry.GetKeyNumber(kExamples, "Count"));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(snapshot ? "reads per second, inside one read snapshot"
                            : "reads per second, one transaction each");
}
BENCHMARK(BM_GetKeyNumber)->Arg(0)->Arg(1);

}  // namespace
}  // namespace morvel
