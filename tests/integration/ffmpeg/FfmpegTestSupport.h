#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/PackedDib.h"
#include "platform/AviLibrary.h"
#include "platform/VideoCompressors.h"

namespace tolm::testing {

inline constexpr const char* kFfprobe = "/usr/bin/ffprobe";
inline constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";

// Empty when ffprobe and ffmpeg are where the tests call them, else what is missing.
std::string MissingTools();

// A private folder under the temporary directory, removed with its contents.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::vector<std::string> Names() const;  // what the folder holds

  private:
    std::string dir_;
};

// Runs a shell command and returns its standard output; `status` gets its exit status.
std::string RunCommand(const std::string& command, int& status);
std::string Quote(const std::string& text);

// ffprobe's entries of one stream (codec_name, width, nb_frames, r_frame_rate, ...).
std::map<std::string, std::string> ProbeStream(const std::string& file, int index);
int ProbeStreamCount(const std::string& file);

struct ProbedPacket {
    std::int64_t pts = 0;
    int size = 0;
    bool key = false;
};
std::vector<ProbedPacket> ProbePackets(const std::string& file, int index);

// ffmpeg's decoding of the first video stream as top-down B,G,R,0 pictures, one per position of a stream
// of `rate` frames per second (a skipped position shows the picture before it).
std::vector<std::vector<std::uint8_t>> DecodeFrames(const std::string& file, int width, int height, int rate);

// A screen-like test picture that differs per position and is not symmetric top to bottom; its colours
// are those of the 8-bit palette.
Bitmap Pattern(int width, int height, int position);
PackedDib MakeDib(const Bitmap& image, int bits);

// Mean absolute difference per colour byte between a decoded top-down B,G,R,0 picture and `expected`.
double MeanDifference(const std::vector<std::uint8_t>& decoded, const Bitmap& expected);
// The same against `expected` upside down.
double MeanDifferenceFlipped(const std::vector<std::uint8_t>& decoded, const Bitmap& expected);

struct ClipPlan {
    int width = 96;
    int height = 64;
    int bits = 32;
    std::uint32_t rate = 10;
    std::uint32_t handler = 0;  // 0: uncompressed
    std::uint32_t quality = 10000;
    std::uint32_t keyFrameEvery = 0;
    std::vector<int> positions{0, 2, 4, 7};
    Bitmap (*picture)(int width, int height, int position) = Pattern;  // the frame at a position
};

// Records the plan's pictures at the plan's positions into a new AVI file through the library, as the engine
// does (stream, compressed stream, format, writes with the key-frame flag, finish).
AviResult WriteClip(AviLibrary& library, const std::string& path, const ClipPlan& plan);

// A PCM WAVE file of a 440 Hz tone; returns the sample bytes written after the header.
std::vector<std::uint8_t> WriteWave(const std::string& path, int sampleRate, int channels, int samples);

struct Video {
    std::unique_ptr<CompressorManager> compressors;
    std::unique_ptr<AviLibrary> library;
};
Video MakeVideo();

}  // namespace tolm::testing
