// A whole classification run, store reading included: 116 slots, 8 targets
// (3 ID3-based, 3 Naive Bayes, 2 Free Bayes) of 2 to 20 classes, over 10,000
// and 100,000 stored examples; and the plain procedures of the tests
// (value-by-value store reads, a class count per (slot, value), Bayes
// counters slot by slot) on the same data. The plain procedures take minutes
// on the largest store, so they run on the first 250, 500, 1,000 and 10,000
// examples, with the fast run measured on those too: compare equal sizes, and
// scale to 100,000 by the growth between 1,000 and 10,000.
//
// Each store is generated once per program run in a temporary folder, in one
// write group. Before timing, the fast and the plain run are checked to give
// the same boxes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

#include "RatioReporter.h"
#include "TestSupport.h"
#include "core/classify/BayesClassifier.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/LiteralClassify.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

constexpr int kClasses[8] = {2, 5, 20, 3, 12, 8, 15, 4};
constexpr std::string_view kMethods[8] = {kMethodId3,       kMethodNaiveBayes, kMethodFreeBayes,
                                          kMethodId3,       kMethodNaiveBayes, kMethodId3,
                                          kMethodFreeBayes, kMethodNaiveBayes};
constexpr int kSlots = ConfigTables::kMaxAttributes;

// Slot values as files give them: small category codes, sequences found or
// not, and the later sequences absent (0) from the older examples.
std::vector<std::int32_t> MakeVector(std::mt19937& random, double age) {
    static const int kRange[17] = {0, 4, 20, 6, 2, 2, 2, 2, 8, 7, 31, 12, 36, 7, 2, 4, 2};
    std::vector<std::int32_t> v(kSlots);
    for (int s = 1; s <= 16; ++s) v[s - 1] = 1 + static_cast<int>(random() % kRange[s]) + (s == 12 ? 90 : 0);
    for (int s = 17; s <= kSlots; ++s) {
        const bool known = s < 76 || age > 0.3;
        v[s - 1] = known ? 1 + static_cast<int>(random() % 2) : 0;
    }
    return v;
}

// The class of an example for target t follows three of its slots, with noise.
std::string ClassOf(int t, const std::vector<std::int32_t>& v, std::mt19937& random) {
    const int a = v[(t * 5) % 16], b = v[16 + t * 7], c = v[(t * 3 + 9) % 16];
    int cls = (a * 7 + b * 3 + c) % kClasses[t];
    if (random() % 5 == 0) cls = static_cast<int>(random() % kClasses[t]);
    static const char* const kWords[] = {"trojan", "Clean", "installer", "game", "утилита"};
    std::string name = kWords[cls % 5] + std::to_string(cls);
    if (random() % 10 == 0) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

struct Store {
    test::TempDir dir;
    Registry registry;
    ConfigTables state;
    AttributeSlots file{};
};

// The store of the first n examples of one fixed sequence.
Store& StoreOf(int n) {
    static std::map<int, std::unique_ptr<Store>> stores;
    auto& store = stores[n];
    if (store) return *store;
    store = std::make_unique<Store>();
    Store& s = *store;
    if (!s.registry.Open(s.dir.Store()).ok()) std::abort();
    std::vector<std::string> sequences;
    for (int i = 0; i < 100; ++i) sequences.push_back("sequence " + std::to_string(i));
    std::vector<TargetEntry> targets;
    for (int t = 0; t < 8; ++t)
        targets.push_back({"t" + std::to_string(t), "Target " + std::to_string(t), std::string(kMethods[t])});
    if (!SaveSequenceTable(s.registry, s.state, sequences).ok() ||
        !SaveTargetTable(s.registry, s.state, targets).ok())
        std::abort();
    if (!LoadConfigurationTables(s.registry, s.state)) std::abort();

    std::mt19937 random(2024);
    Registry::WriteGroup group(s.registry);
    const std::string examples = ExamplesKeyPath();
    for (int e = 1; e <= n; ++e) {
        const auto v = MakeVector(random, static_cast<double>(e) / n);
        s.registry.OpenKey(examples + "\\Example" + std::to_string(e));
        for (int slot = 1; slot <= kSlots; ++slot)
            if (v[slot - 1] != 0)
                s.registry.SetKeyNumber(examples + "\\Example" + std::to_string(e),
                                        s.state.AttributeNames[slot], v[slot - 1]);
        for (int t = 0; t < 8; ++t)
            if (random() % 10 != 0)
                s.registry.SetKeyText(examples + "\\Example" + std::to_string(e), "Target" + targets[t].Id,
                                      ClassOf(t, v, random));
    }
    s.registry.OpenKey(examples);
    s.registry.SetKeyNumber(examples, "Count", n);
    if (!group.Commit().ok()) std::abort();

    std::mt19937 query(99);
    const auto v = MakeVector(query, 1.0);
    for (int slot = 1; slot <= kSlots; ++slot) s.file[slot] = static_cast<std::uint8_t>(v[slot - 1]);
    return s;
}

std::vector<RecordingBox> FastRun(Store& s) {
    TrainingSet classes;
    std::shared_ptr<const StoredExamples> examples;
    if (!ExampleStore::Read(s.registry, s.state, examples)) std::abort();
    classes.UseExamples(examples);
    ClassificationRun run;
    std::vector<RecordingBox> boxes(s.state.TargetCount);
    for (int k = 1; k <= s.state.TargetCount; ++k)
        run.ClassifyTarget(classes, s.state, k, s.file, boxes[k - 1]);
    return boxes;
}

std::vector<RecordingBox> LiteralRun(Store& s) {
    const Registry::ReadSnapshot read(s.registry);
    literal::Classes classes;
    std::vector<RecordingBox> boxes(s.state.TargetCount);
    for (int k = 1; k <= s.state.TargetCount; ++k) {
        classes.LoadExamples(s.registry, s.state, k);
        const std::string& method = s.state.TargetTable[k].Method;
        if (method == kMethodId3) classes.Id3(s.file, s.state.AttributeCount, boxes[k - 1]);
        if (method != kMethodId3)
            classes.Bayes(s.file, s.state.AttributeCount, method == kMethodFreeBayes, boxes[k - 1]);
    }
    return boxes;
}

void Run(benchmark::State& state, int n) {
    Store& s = StoreOf(n);
    for (auto _ : state) benchmark::DoNotOptimize(FastRun(s));
}

void ReadExamples(benchmark::State& state, int n) {
    Store& s = StoreOf(n);
    for (auto _ : state) {
        std::shared_ptr<const StoredExamples> examples;
        benchmark::DoNotOptimize(ExampleStore::Read(s.registry, s.state, examples).ok());
    }
}

void PlainRun(benchmark::State& state, int n) {
    Store& s = StoreOf(n);
    const auto fast = FastRun(s);
    const auto slow = LiteralRun(s);
    for (std::size_t k = 0; k < fast.size(); ++k)
        // The run empties each box first; the plain procedures start from an empty box.
        if (fast[k].list != slow[k].list || fast[k].text != slow[k].text ||
            !std::equal(fast[k].texts.begin() + 1, fast[k].texts.end(), slow[k].texts.begin(),
                        slow[k].texts.end()))
            return state.SkipWithError("the fast run and the plain procedures disagree");
    for (auto _ : state) benchmark::DoNotOptimize(LiteralRun(s));
}

}  // namespace
}  // namespace morvel

int main(int argc, char** argv) {
    using namespace morvel;
    for (int n : {250, 500, 1000, 10000, 100000})
        benchmark::RegisterBenchmark(("run/" + std::to_string(n)).c_str(), Run, n)
            ->Unit(benchmark::kMillisecond);
    for (int n : {10000, 100000})
        benchmark::RegisterBenchmark(("read/" + std::to_string(n)).c_str(), ReadExamples, n)
            ->Unit(benchmark::kMillisecond);
    for (int n : {250, 500, 1000, 10000})
        benchmark::RegisterBenchmark(("plain/" + std::to_string(n)).c_str(), PlainRun, n)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    return bench::RunWithRatios(argc, argv,
                                {{"plain / fast, 250 examples", "plain/250", "run/250"},
                                 {"plain / fast, 500 examples", "plain/500", "run/500"},
                                 {"plain / fast, 1000 examples", "plain/1000", "run/1000"},
                                 {"plain / fast, 10000 examples", "plain/10000", "run/10000"},
                                 {"plain 1000 / plain 500", "plain/1000", "plain/500"},
                                 {"plain 10000 / plain 1000", "plain/10000", "plain/1000"},
                                 {"plain 500 / plain 250", "plain/500", "plain/250"},
                                 {"fast 100000 / fast 10000", "run/100000", "run/10000"},
                                 {"reading share of the 100000 run", "read/100000", "run/100000"}});
}
