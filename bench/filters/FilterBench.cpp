// Throughput of each effect on a full-HD 32-bit frame, beside a plain copy of the same frame.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "effects/PixelFilters.h"
#include "effects/Rotation.h"
#include "imaging/Bitmap.h"

namespace {

using tolm::Bitmap;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Random bytes: the hardest content for the grey-level filters, whose colours with a sum on a half (about one
// in a hundred) take a table lookup.
const Bitmap& SourceFrame() {
    static const Bitmap frame = [] {
        Bitmap f(kWidth, kHeight, tolm::TPixelFormat::pf32bit);
        std::mt19937 engine(42);
        for (std::size_t i = 0; i < f.ByteSize(); ++i) f.Bits()[i] = static_cast<std::uint8_t>(engine());
        return f;
    }();
    return frame;
}

void BM_Memcpy(benchmark::State& state) {
    const Bitmap& source = SourceFrame();
    Bitmap target(kWidth, kHeight, tolm::TPixelFormat::pf32bit);
    for (auto _ : state) {
        std::memcpy(target.Bits(), source.Bits(), source.ByteSize());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(source.ByteSize()));
}

// Each pass starts from the same content; the restore is outside the timing.
void RunFilter(benchmark::State& state, const std::function<void(Bitmap&)>& filter) {
    const Bitmap& source = SourceFrame();
    Bitmap frame = source;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(frame.Bits(), source.Bits(), source.ByteSize());
        state.ResumeTiming();
        filter(frame);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(source.ByteSize()));
}

void RegisterAll() {
    benchmark::RegisterBenchmark("memcpy", BM_Memcpy)->Unit(benchmark::kMicrosecond);
    const std::vector<std::pair<std::string, std::function<void(Bitmap&)>>> filters = {
        {"brightness", [](Bitmap& f) { tolm::ApplyBrightness(f, 100); }},
        {"contrast", [](Bitmap& f) { tolm::ApplyContrast(f, 128); }},
        {"darkness", [](Bitmap& f) { tolm::ApplyDarkness(f, 100); }},
        {"saturation", [](Bitmap& f) { tolm::ApplySaturation(f, 400); }},
        {"color_noise", [](Bitmap& f) { tolm::ApplyColorNoise(f, 64); }},
        {"mono_noise", [](Bitmap& f) { tolm::ApplyMonoNoise(f, 64); }},
        {"posterize", [](Bitmap& f) { tolm::ApplyPosterize(f, 32); }},
        {"color_adjust", [](Bitmap& f) { tolm::ApplyColorAdjust(f, 20, -20, 10); }},
        {"grayscale", [](Bitmap& f) { tolm::ApplyGrayScale(f); }},
        {"sepia", [](Bitmap& f) { tolm::ApplySepia(f); }},
        {"rotate_90",
         [](Bitmap& f) {
             Bitmap turned;
             tolm::RotateBitmap(f, turned, 90.0);
             benchmark::DoNotOptimize(turned.Bits());
         }},
        {"turn_to_fit",
         [](Bitmap& f) {
             static Bitmap scratch;  // kept between frames, as the engine keeps it
             tolm::TurnQuarterToFit(f, false, scratch);
         }},
        {"flip_both", [](Bitmap& f) { tolm::FlipBitmap(f, 2); }},
    };
    for (const auto& [name, filter] : filters)
        benchmark::RegisterBenchmark(name.c_str(), [filter](benchmark::State& s) {
            RunFilter(s, filter);
        })->Unit(benchmark::kMicrosecond);
}

// Prints the usual console lines and keeps each run's time per frame for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
  public:
    TableReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    struct Row {
        std::string name;
        double secondsPerFrame;
    };

    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
                rows_.push_back(
                    {run.benchmark_name(), run.real_accumulated_time / static_cast<double>(run.iterations)});
    }

    void PrintTable() const {
        double copy = 0;
        for (const Row& r : rows_)
            if (r.name == "memcpy") copy = r.secondsPerFrame;
        const double frameBytes = static_cast<double>(SourceFrame().ByteSize());
        std::printf("\n%-14s %10s %12s\n", "filter", "MB/s", "x memcpy");
        for (const Row& r : rows_) {
            const double mbs = frameBytes / r.secondsPerFrame / 1e6;
            if (copy > 0)
                std::printf("%-14s %10.0f %12.2f\n", r.name.c_str(), mbs, r.secondsPerFrame / copy);
            else
                std::printf("%-14s %10.0f %12s\n", r.name.c_str(), mbs, "-");
        }
    }

  private:
    std::vector<Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterAll();
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintTable();
    return 0;
}
