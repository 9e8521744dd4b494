// Frames per second and CPU time of recording 32-bit screen pictures at consecutive positions, through the
// AVI library uncompressed and with the main compressors, beside the ffmpeg program encoding the same pictures
// with the same encoder and settings in the same run (reading them as raw bgr0 from a file written before,
// so neither side waits for a pipe). First desktop-like pictures at 1920x1080 with every codec, then
// record-vs-peer's moving scene at 1920x1080 and 1280x720 with the screen codecs. CPU is user + system time
// per frame, our process's or the ffmpeg program's. Usage:
//   tolm_bench_video [frame-count scale, default 1]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScreenFrames.h"
#include "imaging/PackedDib.h"
#include "platform/Host.h"
#include "platform/ffmpeg/FfmpegVideo.h"

namespace {

using tolm::AviResult;
using tolm::MakeFourCC;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kRate = 25;
constexpr int kPictures = 24;  // rendered pictures, repeated in turn
// The engine's settings: quality 7 on the options dialog's bar, a key frame every 300 frames.
constexpr std::uint32_t kQuality = 7000;
constexpr std::uint32_t kKeyFrames = 300;

struct Case {
    const char* label;
    std::uint32_t handler;
    int frames;
    // The same encoder and settings for the ffmpeg program: quality 7000 is qscale 10 for MJPEG, CRF 16 for
    // x264 and compression level 6 for ZMBV here; MS Video 1 counts its key-frame distance from 0.
    const char* ffmpegArgs;
    int peerFrames = 0;  // fewer for an encoder too slow for as many as ours; 0: as many
};

const Case kDesktopCases[] = {
    {"uncompressed", 0, 100, "-c:v rawvideo -pix_fmt bgra"},
    {"MJPEG", MakeFourCC('M', 'J', 'P', 'G'), 100, "-c:v mjpeg -pix_fmt yuvj420p -q:v 10"},
    {"H.264 ultrafast", MakeFourCC('H', '2', '6', '4'), 100,
     "-c:v libx264 -pix_fmt yuv420p -preset ultrafast -tune zerolatency -profile:v high -crf 16 -g 300"},
    {"MS Video 1", MakeFourCC('M', 'S', 'V', 'C'), 12, "-c:v msvideo1 -pix_fmt rgb555le -keyint_min 299"},
    {"ZMBV", MakeFourCC('Z', 'M', 'B', 'V'), 60, "-c:v zmbv -pix_fmt bgr0 -compression_level 6 -keyint_min 300"},
};

const Case kSceneCases[] = {
    {"MS Video 1", MakeFourCC('M', 'S', 'V', 'C'), 100, "-c:v msvideo1 -pix_fmt rgb555le -keyint_min 299", 8},
};

// Answers the x264 settings form with its fastest preset, as a user would in the configure dialog.
class FastestPresetHost final : public tolm::Host {
  public:
    void ShowNotice(const std::string&, const std::string& text, tolm::NoticeIcon) override {
        std::fprintf(stderr, "notice: %s\n", text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool EditSettings(const std::string&, std::vector<tolm::SettingField>& fields) override {
        for (auto& f : fields)
            if (f.key == "preset") f.value = "ultrafast";
        return true;
    }
    void MinimizeApplication() override {}
    void RestoreApplication() override {}
    void SetBusyCursor(bool) override {}
};

struct Result {
    double seconds = 0;
    double cpuSeconds = 0;
    double megabytes = 0;
    bool ok = false;
};

double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double FileMegabytes(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0.0 : static_cast<double>(size) / 1e6;
}

Result RecordOurs(tolm::AviLibrary& library, const tolm::bench::ScreenFrames& frames, const Case& c,
                  const std::string& path) {
    tolm::BitmapInfoHeader header;
    header.biWidth = frames.Width();
    header.biHeight = frames.Height();
    header.biBitCount = 32;
    header.biSizeImage = static_cast<std::uint32_t>(frames.FrameBytes());
    std::uint8_t format[tolm::BitmapInfoHeader::kSize];
    header.WriteTo(format);

    Result result;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    std::unique_ptr<tolm::AviFile> file;
    std::shared_ptr<tolm::AviStream> stream;
    std::shared_ptr<tolm::AviStream> compressed;
    tolm::AviStreamInfo info;
    info.fccType = tolm::streamtypeVIDEO;
    info.fccHandler = c.handler;
    info.dwScale = 1;
    info.dwRate = kRate;
    info.dwQuality = kQuality;
    tolm::AviCompressOptions options;
    options.fccType = tolm::streamtypeVIDEO;
    options.fccHandler = c.handler;
    options.dwQuality = kQuality;
    options.dwKeyFrameEvery = kKeyFrames;
    AviResult rc = library.OpenFile(path, tolm::AviOpenMode::create, file);
    if (rc == tolm::AVIERR_OK) rc = file->CreateStream(info, stream);
    if (rc == tolm::AVIERR_OK) rc = library.MakeCompressedStream(stream, options, compressed);
    if (rc == tolm::AVIERR_OK) rc = compressed->SetFormat(0, format, sizeof format);
    for (int i = 0; i < c.frames && rc == tolm::AVIERR_OK; ++i)
        rc = compressed->Write(i, 1, frames.BottomUp(i), frames.FrameBytes(), tolm::AVIIF_KEYFRAME);
    if (rc == tolm::AVIERR_OK) rc = file->Finish();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuSeconds = CpuSeconds(RUSAGE_SELF) - cpuStart;
    result.ok = rc == tolm::AVIERR_OK;
    if (!result.ok) std::fprintf(stderr, "%s: AVI error %d\n", c.label, rc);
    result.megabytes = FileMegabytes(path);
    return result;
}

// The pictures as one raw bgr0 file for ffmpeg to read, written before anything is timed.
bool WriteRawFrames(const tolm::bench::ScreenFrames& frames, int count, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool written = true;
    for (int i = 0; i < count && written; ++i)
        written = std::fwrite(frames.TopDown(i), 1, frames.FrameBytes(), out) == frames.FrameBytes();
    return std::fclose(out) == 0 && written;
}

Result RecordWithFfmpeg(const tolm::bench::ScreenFrames& frames, const Case& c, int count, const std::string& raw,
                        const std::string& path) {
    const std::string command = "ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgr0 -s " +
                                std::to_string(frames.Width()) + "x" + std::to_string(frames.Height()) + " -r " +
                                std::to_string(kRate) + " -i '" + raw + "' -frames:v " + std::to_string(count) + " " +
                                c.ffmpegArgs + " -f avi '" + path + "'";
    Result result;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
    const int status = std::system(command.c_str());
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuSeconds = CpuSeconds(RUSAGE_CHILDREN) - cpuStart;
    result.ok = status == 0;
    if (!result.ok) std::fprintf(stderr, "%s: ffmpeg failed (%s)\n", c.label, command.c_str());
    result.megabytes = FileMegabytes(path);
    return result;
}

struct Bench {
    tolm::CompressorManager& compressors;
    tolm::AviLibrary& library;
    std::string dir;
    double scale;
    int failures = 0;
};

int Scaled(int frames, double scale) {
    return std::max(2, static_cast<int>(frames * scale));
}

// One line per case: both sides' frames per second, CPU milliseconds per frame and file size.
void RunTable(Bench& bench, const tolm::bench::ScreenFrames& frames, const char* title, const Case* cases,
              std::size_t count) {
    int most = 0;
    for (std::size_t i = 0; i < count; ++i)
        most = std::max(most, Scaled(cases[i].peerFrames ? cases[i].peerFrames : cases[i].frames, bench.scale));
    const std::string raw = bench.dir + "/frames.bgr0";
    if (!WriteRawFrames(frames, most, raw)) {
        std::perror("raw frames");
        ++bench.failures;
        return;
    }
    std::printf("\n%s, %dx%d\n", title, frames.Width(), frames.Height());
    std::printf("%-16s %13s %12s %9s %15s %14s\n", "codec", "frames", "fps", "ours/ffm", "CPU ms/frame", "MB");
    std::printf("%-16s %6s %6s %6s %5s %9s %7s %7s %6s %7s\n", "", "ours", "ffm", "ours", "ffm", "", "ours", "ffm",
                "ours", "ffm");
    for (std::size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        if (c.handler != 0 && !bench.compressors.Open(tolm::ICTYPE_VIDEO, c.handler)) {
            std::printf("%-16s (no encoder here)\n", c.label);
            continue;
        }
        Case scaled = c;
        scaled.frames = Scaled(c.frames, bench.scale);
        const int peerFrames = Scaled(c.peerFrames ? c.peerFrames : c.frames, bench.scale);
        const std::string ours = bench.dir + "/ours.avi";
        const std::string theirs = bench.dir + "/ffmpeg.avi";
        const Result a = RecordOurs(bench.library, frames, scaled, ours);
        std::filesystem::remove(ours);
        const Result b = RecordWithFfmpeg(frames, c, peerFrames, raw, theirs);
        std::filesystem::remove(theirs);
        if (!a.ok || !b.ok) ++bench.failures;
        const double oursFps = a.seconds > 0 ? scaled.frames / a.seconds : 0;
        const double theirFps = b.seconds > 0 ? peerFrames / b.seconds : 0;
        std::printf("%-16s %6d %6d %6.1f %5.1f %8.2fx %7.1f %7.1f %6.1f %7.1f\n", c.label, scaled.frames, peerFrames,
                    oursFps, theirFps, theirFps > 0 ? oursFps / theirFps : 0.0, 1000 * a.cpuSeconds / scaled.frames,
                    1000 * b.cpuSeconds / peerFrames, a.megabytes, b.megabytes);
        std::fflush(stdout);
    }
    std::filesystem::remove(raw);
}

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolm-bench-video-XXXXXX";
    if (!::mkdtemp(dir.data())) {
        std::perror("mkdtemp");
        return 1;
    }

    auto compressors = tolm::CreateFfmpegCompressorManager();
    auto library = tolm::CreateFfmpegAviLibrary(*compressors);
    if (auto x264 = compressors->Open(tolm::ICTYPE_VIDEO, MakeFourCC('H', '2', '6', '4'))) {
        FastestPresetHost host;
        x264->Configure(host);
    }
    Bench bench{*compressors, *library, dir, scale};
    using Kind = tolm::bench::ScreenFrames::Kind;
    RunTable(bench, tolm::bench::ScreenFrames(1920, 1080, kPictures), "Desktop pictures", kDesktopCases,
             std::size(kDesktopCases));
    for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{1280, 720}})
        RunTable(bench, tolm::bench::ScreenFrames(width, height, kPictures, Kind::movingScene),
                 "record-vs-peer's moving scene", kSceneCases, std::size(kSceneCases));
    std::filesystem::remove_all(dir);
    return bench.failures == 0 ? 0 : 1;
}
