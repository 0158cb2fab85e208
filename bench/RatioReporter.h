// A console reporter that also prints ratios between benchmarks of the same
// run, so that goals are read as ratios rather than absolute times.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace morvel::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Each ratio: label, numerator benchmark name, denominator benchmark name.
    struct Ratio {
        std::string label, numerator, denominator;
    };
    explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                times_[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& r : ratios_) {
            auto n = times_.find(r.numerator), d = times_.find(r.denominator);
            if (n != times_.end() && d != times_.end() && d->second > 0)
                std::printf("ratio %-40s %10.2f  (%s / %s)\n", r.label.c_str(), n->second / d->second,
                            r.numerator.c_str(), r.denominator.c_str());
        }
    }

  private:
    std::vector<Ratio> ratios_;
    std::map<std::string, double> times_;
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
