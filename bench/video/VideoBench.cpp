// Frames per second of recording 1920x1080 32-bit screen pictures at consecutive positions, through the AVI
// library uncompressed and with the main compressors, beside the ffmpeg program encoding the same pictures
// with the same encoder and settings in the same run (reading them as raw bgr0 from a file written before,
// so neither side waits for a pipe). Usage:
//   tolm_bench_video [frame-count scale, default 1]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScreenFrames.h"
#include "imaging/PackedDib.h"
#include "platform/Host.h"
#include "platform/ffmpeg/FfmpegVideo.h"

namespace {

using tolm::AviResult;
using tolm::MakeFourCC;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::uint32_t kRate = 25;
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
};

const Case kCases[] = {
    {"uncompressed", 0, 100, "-c:v rawvideo -pix_fmt bgra"},
    {"MJPEG", MakeFourCC('M', 'J', 'P', 'G'), 100, "-c:v mjpeg -pix_fmt yuvj420p -q:v 10"},
    {"H.264 ultrafast", MakeFourCC('H', '2', '6', '4'), 100,
     "-c:v libx264 -pix_fmt yuv420p -preset ultrafast -tune zerolatency -profile:v high -crf 16 -g 300"},
    {"MS Video 1", MakeFourCC('M', 'S', 'V', 'C'), 12, "-c:v msvideo1 -pix_fmt rgb555le -keyint_min 299"},
    {"ZMBV", MakeFourCC('Z', 'M', 'B', 'V'), 60, "-c:v zmbv -pix_fmt bgr0 -compression_level 6 -keyint_min 300"},
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
    double megabytes = 0;
    bool ok = false;
};

double FileMegabytes(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0.0 : static_cast<double>(size) / 1e6;
}

Result RecordOurs(tolm::AviLibrary& library, const tolm::bench::ScreenFrames& frames, const Case& c,
                  const std::string& path) {
    tolm::BitmapInfoHeader header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biBitCount = 32;
    header.biSizeImage = static_cast<std::uint32_t>(frames.FrameBytes());
    std::uint8_t format[tolm::BitmapInfoHeader::kSize];
    header.WriteTo(format);

    Result result;
    const auto start = Clock::now();
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

Result RecordWithFfmpeg(const Case& c, const std::string& raw, const std::string& path) {
    const std::string command = "ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgr0 -s " + std::to_string(kWidth) +
                                "x" + std::to_string(kHeight) + " -r " + std::to_string(kRate) + " -i '" + raw +
                                "' -frames:v " + std::to_string(c.frames) + " " + c.ffmpegArgs + " -f avi '" + path +
                                "'";
    Result result;
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.ok = status == 0;
    if (!result.ok) std::fprintf(stderr, "%s: ffmpeg failed (%s)\n", c.label, command.c_str());
    result.megabytes = FileMegabytes(path);
    return result;
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

    std::printf("rendering %d screen pictures of %dx%d...\n", 24, kWidth, kHeight);
    const tolm::bench::ScreenFrames frames(kWidth, kHeight, 24);
    auto compressors = tolm::CreateFfmpegCompressorManager();
    auto library = tolm::CreateFfmpegAviLibrary(*compressors);
    if (auto x264 = compressors->Open(tolm::ICTYPE_VIDEO, MakeFourCC('H', '2', '6', '4'))) {
        FastestPresetHost host;
        x264->Configure(host);
    }

    int most = 0;
    for (const Case& c : kCases) most = std::max(most, std::max(2, static_cast<int>(c.frames * scale)));
    const std::string raw = dir + "/frames.bgr0";
    if (!WriteRawFrames(frames, most, raw)) {
        std::perror("raw frames");
        return 1;
    }

    std::printf("\n%-18s %7s %10s %11s %10s %10s %12s\n", "codec", "frames", "ours fps", "ffmpeg fps", "ours/ffm",
                "ours MB", "ffmpeg MB");
    int failures = 0;
    for (const Case& c : kCases) {
        if (c.handler != 0 && !compressors->Open(tolm::ICTYPE_VIDEO, c.handler)) {
            std::printf("%-18s (no encoder here)\n", c.label);
            continue;
        }
        Case scaled = c;
        scaled.frames = std::max(2, static_cast<int>(c.frames * scale));
        const std::string ours = dir + "/ours.avi";
        const std::string theirs = dir + "/ffmpeg.avi";
        const Result a = RecordOurs(*library, frames, scaled, ours);
        std::filesystem::remove(ours);
        const Result b = RecordWithFfmpeg(scaled, raw, theirs);
        std::filesystem::remove(theirs);
        if (!a.ok || !b.ok) ++failures;
        const double oursFps = a.seconds > 0 ? scaled.frames / a.seconds : 0;
        const double theirFps = b.seconds > 0 ? scaled.frames / b.seconds : 0;
        std::printf("%-18s %7d %10.1f %11.1f %9.2fx %10.1f %12.1f\n", c.label, scaled.frames, oursFps, theirFps,
                    theirFps > 0 ? oursFps / theirFps : 0.0, a.megabytes, b.megabytes);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
