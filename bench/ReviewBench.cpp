// review against classify over the same folder of 1,000 files: review does
// classify's work and adds, per file, the SHA-256 digest of its contents and
// the distance to the nearest example of each target (goal: at most 1.3
// times classify's time). The store holds 400 examples taught from another
// folder, two targets (Decision tree and Naive Bayes) and 20 search texts,
// the header attributes on; both commands run in-process on one worker.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "cli/Cli.h"

namespace morvel {
namespace {

// Files of 2 KiB to 400 KiB that start like a DOS program, with runs of
// random bytes and a few texts the search looks for.
void WriteFiles(const std::string& folder, int count, std::mt19937& random) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        std::string bytes(2048 + random() % (400 * 1024), '\0');
        for (std::size_t b = 0; b + 4 <= bytes.size(); b += 4) {
            const std::uint32_t word = random();
            std::memcpy(&bytes[b], &word, 4);
        }
        for (int t = 0; t < 8; ++t) {
            const std::string text = "text " + std::to_string(random() % 40);
            bytes.replace(random() % (bytes.size() - text.size()), text.size(), text);
        }
        bytes.replace(0, 2, "MZ");
        std::ofstream(folder + "/file" + std::to_string(i) + ".exe", std::ios::binary) << bytes;
    }
}

struct Setup {
    test::TempDir dir;
    std::string folder = dir.path() + "/review";
    bool ok = false;

    Setup() {
        std::mt19937 random(7);
        WriteFiles(folder, 1000, random);
        const std::string taught = dir.path() + "/taught";
        WriteFiles(taught, 400, random);
        std::ostringstream out, err;
        const std::string store = dir.Store();
        std::vector<std::string> sequences = {"morvel-cli", "--store", store, "sequences", "set"};
        for (int q = 0; q < 20; ++q) sequences.push_back("text " + std::to_string(q));
        ok = RunCli(sequences, out, err) == 0 &&
             RunCli({"morvel-cli", "--store", store, "header-attributes", "on"}, out, err) == 0 &&
             RunCli({"morvel-cli", "--store", store, "targets", "add", "kind", "Kind", "Decision tree"}, out,
                    err) == 0 &&
             RunCli({"morvel-cli", "--store", store, "targets", "add", "size", "Size", "Naive Bayes"}, out,
                    err) == 0;
        for (int k = 0; ok && k < 5; ++k) {
            std::ostringstream list;
            for (int i = k; i < 400; i += 5) list << taught << "/file" << i << ".exe\n";
            std::istringstream in(list.str());
            ok = RunCli({"morvel-cli", "--store", store, "remember", "-q", "--from", "-",
                         "kind=k" + std::to_string(k), "size=s" + std::to_string(k % 3)},
                        in, out, err) == 0;
        }
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void RunCommand(benchmark::State& state, const char* command) {
    Setup& s = Shared();
    if (!s.ok) return state.SkipWithError("the store could not be set up");
    for (auto _ : state) {
        std::ostringstream out, err;
        if (RunCli({"morvel-cli", "--store", s.dir.Store(), command, "-q", "-j", "1", s.folder}, out, err) !=
            0)
            return state.SkipWithError(err.str().c_str());
        benchmark::DoNotOptimize(out.str().size());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

}  // namespace
}  // namespace morvel

int main(int argc, char** argv) {
    using namespace morvel;
    for (const char* command : {"classify", "review"})
        benchmark::RegisterBenchmark(command, RunCommand, command)->Unit(benchmark::kMillisecond)->MinTime(2);
    return bench::RunWithRatios(argc, argv,
                                {{"review / classify (goal: at most 1.3)", "review", "classify"}});
}
