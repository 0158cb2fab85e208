// A console reporter that also prints ratios between benchmarks of the same
// run, so that goals are read as ratios rather than absolute times (or
// absolute sizes: a ratio may compare a counter, such as peak memory).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace morvel::bench {

// Whether a run ended in SkipWithError. Google Benchmark 1.7 (Debian 12) says
// so in a flag; 1.8 and later (Debian 13) in a state that also covers runs
// skipped on purpose, which give no figure either.
template <typename Run>
bool RunFailed(const Run& run) {
    if constexpr (requires { run.skipped; })
        return static_cast<int>(run.skipped) != 0;
    else
        return run.error_occurred;
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Each ratio: label, numerator benchmark name, denominator benchmark name,
    // and the counter compared (empty: the time).
    struct Ratio {
        std::string label, numerator, denominator;
        std::string counter = {};
    };
    explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration && run.aggregate_name != "median") continue;
            if (RunFailed(run)) continue;
            const std::string& name = run.run_name.function_name;
            values_[{name, ""}] = run.GetAdjustedRealTime();
            for (const auto& [counter, value] : run.counters) values_[{name, counter}] = value.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& r : ratios_) {
            auto n = values_.find({r.numerator, r.counter}), d = values_.find({r.denominator, r.counter});
            if (n != values_.end() && d != values_.end() && d->second > 0)
                std::printf("ratio %-40s %10.2f  (%s / %s)\n", r.label.c_str(), n->second / d->second,
                            r.numerator.c_str(), r.denominator.c_str());
        }
    }

  private:
    std::vector<Ratio> ratios_;
    std::map<std::pair<std::string, std::string>, double> values_;  // (benchmark, counter or "")
};

// Runs the registered benchmarks with the ratio reporter; for main().
inline int RunWithRatios(int argc, char** argv, std::vector<RatioReporter::Ratio> ratios) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::move(ratios));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace morvel::bench
