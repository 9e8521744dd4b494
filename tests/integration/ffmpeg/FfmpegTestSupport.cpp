#include "FfmpegTestSupport.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/ffmpeg/FfmpegVideo.h"

namespace tolm::testing {
namespace {

void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void PutTag(std::vector<std::uint8_t>& v, const char* tag) {
    v.insert(v.end(), tag, tag + 4);
}

double Difference(const std::vector<std::uint8_t>& decoded, const Bitmap& expected, bool flipped) {
    const int w = expected.Width();
    const int h = expected.Height();
    if (decoded.size() != static_cast<std::size_t>(w) * h * 4) return 1e9;
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t rgb = expected.PixelRGB(x, flipped ? h - 1 - y : y);
            const std::uint8_t* px = decoded.data() + (static_cast<std::size_t>(y) * w + x) * 4;
            sum += std::abs(px[0] - static_cast<int>(rgb & 0xFF)) +
                   std::abs(px[1] - static_cast<int>(rgb >> 8 & 0xFF)) +
                   std::abs(px[2] - static_cast<int>(rgb >> 16 & 0xFF));
        }
    }
    return sum / (3.0 * w * h);
}

}  // namespace

std::string MissingTools() {
    std::string missing;
    for (const char* tool : {kFfprobe, kFfmpeg})
        if (::access(tool, X_OK) != 0) missing += std::string(missing.empty() ? "" : ", ") + tool;
    if (!missing.empty()) missing += " not found: install the ffmpeg package (scripts/packages.txt)";
    return missing;
}

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tolm-ffmpeg-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempFolder::~TempFolder() {
    if (std::getenv("TOLM_KEEP_TEST_FILES")) return;  // for looking at what a failing test wrote
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::vector<std::string> TempFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
    return names;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    status = ::pclose(pipe);
    return out;
}

std::map<std::string, std::string> ProbeStream(const std::string& file, int index) {
    int status = 0;
    const std::string out = RunCommand(std::string(kFfprobe) + " -v error -select_streams " + std::to_string(index) +
                                           " -show_entries stream -of default=noprint_wrappers=1 " + Quote(file),
                                       status);
    std::map<std::string, std::string> entries;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) entries.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return entries;
}

int ProbeStreamCount(const std::string& file) {
    int status = 0;
    const std::string out = RunCommand(std::string(kFfprobe) + " -v error -show_entries format=nb_streams " +
                                           "-of default=noprint_wrappers=1:nokey=1 " + Quote(file),
                                       status);
    return status == 0 && !out.empty() ? std::atoi(out.c_str()) : -1;
}

std::vector<ProbedPacket> ProbePackets(const std::string& file, int index) {
    int status = 0;
    const std::string out = RunCommand(std::string(kFfprobe) + " -v error -select_streams " + std::to_string(index) +
                                           " -show_entries packet=pts,dts,size,flags -of csv=p=0 " + Quote(file),
                                       status);
    std::vector<ProbedPacket> packets;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string pts, dts, size, flags;
        std::getline(fields, pts, ',');
        std::getline(fields, dts, ',');
        std::getline(fields, size, ',');
        std::getline(fields, flags, ',');
        if (size.empty()) continue;
        // The AVI demuxer stamps video packets with their position as decoding time only.
        const std::string& time = pts == "N/A" ? dts : pts;
        packets.push_back({std::atoll(time.c_str()), std::atoi(size.c_str()), flags.find('K') != std::string::npos});
    }
    return packets;
}

std::vector<std::vector<std::uint8_t>> DecodeFrames(const std::string& file, int width, int height, int rate) {
    int status = 0;
    // The fps filter shows at each position the last picture at or before it, as a player does.
    const std::string out =
        RunCommand(std::string(kFfmpeg) + " -v error -nostdin -i " + Quote(file) +
                       " -map 0:v:0 -vf fps=" + std::to_string(rate) + " -f rawvideo -pix_fmt bgr0 -",
                   status);
    const std::size_t frameSize = static_cast<std::size_t>(width) * height * 4;
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at + frameSize <= out.size(); at += frameSize)
        frames.emplace_back(out.begin() + static_cast<std::ptrdiff_t>(at),
                            out.begin() + static_cast<std::ptrdiff_t>(at + frameSize));
    return frames;
}

Bitmap Pattern(int width, int height, int position) {
    Bitmap image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.SetPixelRGB(x, y, y < height / 2 ? 0x993300u : 0x003399u);
    // A title bar with text-like strokes near the top.
    for (int y = 2; y < 9 && y < height; ++y)
        for (int x = 4; x < width - 4; ++x)
            if ((x / 2 + y) % 3 == 0 && (x / 7) % 3 != 2) image.SetPixelRGB(x, y, 0xFFFFFFu);
    // A box that moves with the position.
    const int size = std::min(12, height / 4);
    const int left = (5 + 9 * position) % std::max(1, width - size);
    for (int y = height / 2 - size / 2; y < height / 2 + size / 2; ++y)
        for (int x = left; x < left + size; ++x) image.SetPixelRGB(x, y, 0x33CC33u);
    return image;
}

PackedDib MakeDib(const Bitmap& image, int bits) {
    PackedDib::Error error;
    std::optional<PackedDib> dib = PackedDib::FromBitmap(image, bits, error);
    if (!dib) throw std::runtime_error("no DIB");
    return std::move(*dib);
}

double MeanDifference(const std::vector<std::uint8_t>& decoded, const Bitmap& expected) {
    return Difference(decoded, expected, false);
}

double MeanDifferenceFlipped(const std::vector<std::uint8_t>& decoded, const Bitmap& expected) {
    return Difference(decoded, expected, true);
}

AviResult WriteClip(AviLibrary& library, const std::string& path, const ClipPlan& plan) {
    std::unique_ptr<AviFile> file;
    AviResult rc = library.OpenFile(path, AviOpenMode::create, file);
    if (rc != AVIERR_OK) return rc;
    const PackedDib first = MakeDib(plan.picture(plan.width, plan.height, plan.positions.front()), plan.bits);

    AviStreamInfo info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = plan.handler;
    info.dwScale = 1;
    info.dwRate = plan.rate;
    info.dwQuality = plan.quality;
    info.dwSuggestedBufferSize = static_cast<std::uint32_t>(first.BitsSize());
    info.rcFrame = FrameRect{0, 0, plan.width, plan.height};
    info.szName = "test clip";
    std::shared_ptr<AviStream> stream;
    if ((rc = file->CreateStream(info, stream)) != AVIERR_OK) return rc;

    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = plan.handler;
    options.dwKeyFrameEvery = plan.keyFrameEvery;
    options.dwQuality = plan.quality;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    std::shared_ptr<AviStream> compressed;
    if ((rc = library.MakeCompressedStream(stream, options, compressed)) != AVIERR_OK) return rc;
    if ((rc = compressed->SetFormat(0, first.Data(), first.FormatSize())) != AVIERR_OK) return rc;
    for (int position : plan.positions) {
        const PackedDib dib = MakeDib(plan.picture(plan.width, plan.height, position), plan.bits);
        if ((rc = compressed->Write(position, 1, dib.Bits(), dib.BitsSize(), AVIIF_KEYFRAME)) != AVIERR_OK) return rc;
    }
    compressed.reset();
    stream.reset();
    return file->Finish();
}

std::vector<std::uint8_t> WriteWave(const std::string& path, int sampleRate, int channels, int samples) {
    std::vector<std::uint8_t> pcm;
    for (int i = 0; i < samples; ++i) {
        const auto value = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / sampleRate));
        for (int c = 0; c < channels; ++c) Put16(pcm, static_cast<std::uint16_t>(value));
    }
    std::vector<std::uint8_t> file;
    PutTag(file, "RIFF");
    Put32(file, static_cast<std::uint32_t>(36 + pcm.size()));
    PutTag(file, "WAVE");
    PutTag(file, "fmt ");
    Put32(file, 16);
    Put16(file, 1);
    Put16(file, static_cast<std::uint32_t>(channels));
    Put32(file, static_cast<std::uint32_t>(sampleRate));
    Put32(file, static_cast<std::uint32_t>(sampleRate * channels * 2));
    Put16(file, static_cast<std::uint32_t>(channels * 2));
    Put16(file, 16);
    PutTag(file, "data");
    Put32(file, static_cast<std::uint32_t>(pcm.size()));
    file.insert(file.end(), pcm.begin(), pcm.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return pcm;
}

Video MakeVideo() {
    Video video;
    video.compressors = CreateFfmpegCompressorManager();
    video.library = CreateFfmpegAviLibrary(*video.compressors);
    return video;
}

}  // namespace tolm::testing

// libx264 keeps a copy of its settings when it refuses to open (odd sizes in 4:2:0, which the compress
// queries ask about); that leak is inside the library. Only read when the tests run under LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx264.so\n";
}
