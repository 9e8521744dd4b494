// Grab benchmarks on the display in $DISPLAY. After the usual output, a table gives every benchmark's rate
// beside the bare shared-memory grab measured in the same run, the ceiling for any grab. With repetitions
// each benchmark's median counts; random interleaving (--benchmark_enable_random_interleaving=true) spreads
// the load of a shared machine over all of them alike.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
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
            if (seconds <= 0) continue;
            const std::string name = run.run_name.str();
            if (rates_.find(name) == rates_.end()) order_.push_back(name);
            rates_[name].push_back(1.0 / seconds);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        double ceiling = 0;
        for (const auto& [name, rates] : rates_)
            if (name.find("Bare") != std::string::npos) ceiling = Median(rates);
        std::printf("\n%-48s %12s %14s\n", "benchmark (median)", "grabs/s", "time vs bare");
        for (const std::string& name : order_) {
            const double rate = Median(rates_[name]);
            std::printf("%-48s %12.1f %13.2fx\n", name.c_str(), rate, ceiling > 0 ? ceiling / rate : 0.0);
        }
    }

  private:
    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::vector<std::string> order_;
    std::map<std::string, std::vector<double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
