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
    if (!registry.OpenKey(kExamples) || !registry.SetKeyNumber(kExamples, "Count", 42))
        return state.SkipWithError("cannot write the store");
    const bool snapshot = state.range(0) != 0;
    std::optional<Registry::ReadSnapshot> read;
    if (snapshot) read.emplace(registry);
    std::int32_t count = 0;
    for (auto _ : state) benchmark::DoNotOptimize(registry.GetKeyNumber(kExamples, "Count", count).ok());
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(snapshot ? "reads per second, inside one read snapshot"
                            : "reads per second, one transaction each");
}
BENCHMARK(BM_GetKeyNumber)->Arg(0)->Arg(1);

}  // namespace
}  // namespace morvel
