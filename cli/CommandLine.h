#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture/ScreenCamera.h"
#include "platform/ScreenBackend.h"

namespace tolm::cli {

// What tolm-record was asked to do.
struct Options {
    bool help = false;
    bool version = false;
    std::string snapshotFile;  // grab one frame into this .bmp file
    std::string display;       // empty: $DISPLAY
    ScreenBackend backend = ScreenBackend::automatic;
    std::optional<Rect> area;
    bool fullScreen = false;
    int monitor = 1;
    bool allMonitors = false;
    int colors = 32;
    bool cursor = true;
    TUseFilters effects;
    struct IndexedValue {
        unsigned index;
        int value;
    };
    std::vector<IndexedValue> values;  // for TFilterValues::SetIndexedValue
    std::optional<TScreenRotate> rotate;

    // Recording
    std::string outputFile;           // record into this AVI file
    std::optional<Size> followMouse;  // an area of this size that follows the pointer
    std::optional<int> fps;           // playback rate of the file
    std::optional<int> mspf;          // milliseconds of recording per frame
    std::optional<int> durationSeconds;
    std::string codec;  // four-character code, "none" for no compression, empty: the default
    bool compressAfter = false;
    std::optional<int> quality;
    std::optional<int> keyFrames;
    bool answerYes = false;  // accept the default compressor when asked
    bool frame = true;       // the blinking frame round the area
    bool listCodecs = false;
    bool listMonitors = false;
    bool recover = false;  // save a killed recording's leftovers into outputFile instead of recording

    // Sound
    bool audio = false;
    std::optional<int> audioFormat;  // stock format 1..20; with --audio the default is 16 (44.1 kHz 16 bit stereo)
    std::string audioInput;          // a line of --list-audio-inputs to record from
    bool listAudioInputs = false;
    bool listAudioFormats = false;
};

// The stock format tolm-record records sound in unless told otherwise: CD quality.
inline constexpr int kDefaultAudioFormat = 16;

// Parses the arguments (without the program name). Returns false with a message naming the bad argument.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// Puts the parsed area, colours, cursor and effects into the engine.
void ApplyToCamera(const Options& options, TScreenCamera& camera);

// What tolm-record says before a recording with sound whose picture plays faster or slower than it happened
// (--mspf not the playback interval of --fps): the sound cannot follow it. Empty when nothing needs saying.
std::string SoundSpeedNotice(const TScreenCamera& camera);

// The compressor a recording into `outputFile` gets without --codec: H.264 for MP4, else Motion JPEG.
std::string DefaultCodecFor(const std::string& outputFile);

const char* UsageText();

}  // namespace tolm::cli
