// Grab benchmarks on the display in $DISPLAY. After the usual output, a table gives every benchmark's rate
// beside the bare shared-memory grab measured in the same run, the ceiling for any grab.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (seconds > 0) rates_.push_back({run.benchmark_name(), 1.0 / seconds});
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        double ceiling = 0;
        for (const auto& r : rates_)
            if (r.name.find("Bare") != std::string::npos) ceiling = r.perSecond;
        std::printf("\n%-48s %12s %14s\n", "benchmark", "grabs/s", "time vs bare");
        for (const auto& r : rates_)
            std::printf("%-48s %12.1f %13.2fx\n", r.name.c_str(), r.perSecond, ceiling > 0 ? ceiling / r.perSecond : 0.0);
    }

private:
    struct Rate {
        std::string name;
        double perSecond;
    };
    std::vector<Rate> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
