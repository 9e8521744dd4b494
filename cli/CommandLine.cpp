#include "cli/CommandLine.h"

#include <charconv>
#include <map>

#include "capture/DefaultCompressor.h"
#include "capture/FrameTiming.h"

namespace tolm::cli {
namespace {

bool ParseInts(const std::string& text, std::vector<int>& out, std::size_t count) {
    out.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        int v = 0;
        auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc()) return false;
        out.push_back(v);
        p = next;
        if (p < end && *p++ != ',') return false;
        if (p == end && text.back() == ',') return false;
    }
    return out.size() == count;
}

struct EffectOption {
    TUseFilter filter;
    int valueIndex;  // -1: takes no value; 3: red,green,blue at indexes 3..5
};

const std::map<std::string, EffectOption>& Effects() {
    static const std::map<std::string, EffectOption> effects = {
        {"invert", {TUseFilter::UseReverseColor, -1}},
        {"grayscale", {TUseFilter::UseGrayScale, -1}},
        {"sepia", {TUseFilter::UseSepia, -1}},
        {"color-noise", {TUseFilter::UseColorNoise, 0}},
        {"mono-noise", {TUseFilter::UseMonoNoise, 1}},
        {"posterize", {TUseFilter::UsePosterize, 2}},
        {"color-adjust", {TUseFilter::UseColorAdjust, 3}},
        {"saturation", {TUseFilter::UseSaturation, 6}},
        {"darkness", {TUseFilter::UseDarkness, 7}},
        {"brightness", {TUseFilter::UseBrightness, 8}},
        {"contrast", {TUseFilter::UseContrast, 9}},
    };
    return effects;
}

bool ParseEffect(const std::string& text, Options& options, std::string& error) {
    const std::size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const auto it = Effects().find(name);
    if (it == Effects().end()) {
        error = "Unknown effect '" + name + "'.";
        return false;
    }
    const EffectOption& effect = it->second;
    if (effect.valueIndex >= 0) {
        const std::size_t count = effect.filter == TUseFilter::UseColorAdjust ? 3 : 1;
        std::vector<int> values;
        if (eq == std::string::npos || !ParseInts(text.substr(eq + 1), values, count)) {
            error = "Effect '" + name + "' needs " + (count == 3 ? "three values R,G,B" : "a value") + ", as in " +
                    name + (count == 3 ? "=10,0,-10." : "=100.");
            return false;
        }
        if (effect.filter == TUseFilter::UsePosterize && values[0] < 1) {
            error = "posterize needs a step of at least 1.";
            return false;
        }
        for (std::size_t i = 0; i < count; ++i)
            options.values.push_back({static_cast<unsigned>(effect.valueIndex) + static_cast<unsigned>(i), values[i]});
    } else if (eq != std::string::npos) {
        error = "Effect '" + name + "' takes no value.";
        return false;
    }
    options.effects = options.effects.With(effect.filter);
    return true;
}

bool ParseRotate(const std::string& text, Options& options, std::string& error) {
    static const std::map<std::string, TScreenRotate> kinds = {
        {"left", TScreenRotate::RLeft},         {"right", TScreenRotate::RRight},
        {"reverse", TScreenRotate::RReverse},   {"horizontal", TScreenRotate::RHorizontal},
        {"vertical", TScreenRotate::RVertical},
    };
    const auto it = kinds.find(text);
    if (it == kinds.end()) {
        error = "--rotate takes left, right, reverse, horizontal or vertical.";
        return false;
    }
    options.rotate = it->second;
    return true;
}

}  // namespace

std::string DefaultCodecFor(const std::string& outputFile) {
    return FourCCToString(DefaultCompressorFor(outputFile, MakeFourCC('M', 'J', 'P', 'G')));
}

std::string SoundSpeedNotice(const TScreenCamera& camera) {
    const int fps = camera.PlayBack_FPS();
    const std::string warning = camera.UseAudioRecord() ? SoundSpeedWarning(camera.Record_MSPF(), fps) : "";
    if (warning.empty()) return {};
    return warning + " Give --mspf " + std::to_string(1000 / fps) + " to record in real time at " +
           std::to_string(fps) + " fps.";
}

const char* UsageText() {
    return "Usage: tolm-record [options] OUTPUT.avi      records the screen until Ctrl+C, Shift+Esc or --duration\n"
           "       tolm-record --snapshot FILE.bmp [options]   grabs one frame into a BMP file\n"
           "       tolm-record --recover OUTPUT.avi            saves the newest interrupted recording (killed, not\n"
           "                                                   saved, or cancelled with Esc); run it again for\n"
           "                                                   each older one\n"
           "       tolm-record --list-codecs | --list-audio-formats | --list-audio-inputs | --list-monitors\n"
           "                   [options]\n"
           "       tolm-record --version                       prints the version and the licence\n"
           "An OUTPUT ending in .mp4 or .mkv is saved as MP4 or Matroska, to share, instead of AVI: MP4 takes\n"
           "H264 (the sound becomes AAC), Matroska every compressor and the sound as recorded.\n"
           "Recording (Shift+Esc or Ctrl+C stops and saves, Esc or a second Ctrl+C cancels, Pause pauses):\n"
           "  --fps N                 playback rate of the file (default 50)\n"
           "  --mspf N                milliseconds of recording per frame (default 20); 1000/fps plays in real\n"
           "                          time, any other value faster or slower than the sound\n"
           "  --duration SECONDS      stop by itself after this time\n"
           "  --codec FOURCC|none     compressor, e.g. MJPG, H264, MSVC (default MJPG, for .mp4 H264); see\n"
           "                          --list-codecs\n"
           "  --after                 record uncompressed, compress when saving\n"
           "  --quality N             1..10000 (default 10000)\n"
           "  --keyframes N           a key frame every N frames (default 300)\n"
           "  --yes                   accept the default compressor when the chosen one cannot be used\n"
           "  --no-frame              no blinking frame round the area\n"
           "  --follow-mouse WxH      an area of that size that follows the pointer\n"
           "Sound:\n"
           "  --audio                 record sound from the recording input as a second stream\n"
           "  --audio-format N        1..20, see --list-audio-formats (default 16: 44.1 kHz, 16 bit, stereo)\n"
           "  --audio-input NAME      record from this line of --list-audio-inputs (the desktop's default\n"
           "                          input stays as it is)\n"
           "Area and picture:\n"
           "  --area X,Y,W,H          the rectangle to grab (default: the whole of monitor 1)\n"
           "  --full-screen           the whole monitor (see --monitor) or desktop (--all-monitors)\n"
           "  --monitor N             1-based monitor for --full-screen (default 1)\n"
           "  --all-monitors          --full-screen takes every monitor\n"
           "  --colors 8|16|24|32     colour depth of the frame (default 32)\n"
           "  --no-cursor             leave the mouse cursor out\n"
           "  --effect NAME[=VALUE]   repeatable: invert, grayscale, sepia, brightness=V, contrast=V,\n"
           "                          darkness=V, saturation=V, color-noise=N, mono-noise=N, posterize=P,\n"
           "                          color-adjust=R,G,B\n"
           "  --rotate KIND           left, right, reverse, horizontal or vertical\n"
           "  --display NAME          X display to grab (default: $DISPLAY)\n"
           "  --backend auto|x11|portal  where the screen is read: the X server, or the desktop's ScreenCast\n"
           "                          portal (Wayland); auto takes the portal in a Wayland session\n"
           "Exit status: 0 saved as asked; 3 saved, but a fault (lost display, full disk, lost sound input)\n"
           "cut it short or took its sound; 1 nothing saved; 2 bad command line.\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value.";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        std::vector<int> ints;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--snapshot") {
            if (!value(options.snapshotFile)) return false;
        } else if (arg == "--recover") {
            options.recover = true;
        } else if (arg == "--display") {
            if (!value(options.display)) return false;
        } else if (arg == "--backend") {
            if (!value(v)) return false;
            if (!ParseScreenBackend(v, options.backend)) {
                error = "--backend takes auto, x11 or portal.";
                return false;
            }
        } else if (arg == "--list-monitors") {
            options.listMonitors = true;
        } else if (arg == "--area") {
            if (!value(v)) return false;
            if (!ParseInts(v, ints, 4) || ints[2] <= 0 || ints[3] <= 0) {
                error = "--area takes X,Y,W,H with a positive width and height, as in --area 0,0,640,480.";
                return false;
            }
            options.area = Rect{ints[0], ints[1], ints[2], ints[3]};
        } else if (arg == "--full-screen") {
            options.fullScreen = true;
        } else if (arg == "--monitor") {
            if (!value(v)) return false;
            if (!ParseInts(v, ints, 1) || ints[0] < 1) {
                error = "--monitor takes a monitor number from 1.";
                return false;
            }
            options.monitor = ints[0];
        } else if (arg == "--all-monitors") {
            options.allMonitors = true;
        } else if (arg == "--colors") {
            if (!value(v)) return false;
            if (!ParseInts(v, ints, 1) || (ints[0] != 8 && ints[0] != 16 && ints[0] != 24 && ints[0] != 32)) {
                error = "--colors takes 8, 16, 24 or 32.";
                return false;
            }
            options.colors = ints[0];
        } else if (arg == "--no-cursor") {
            options.cursor = false;
        } else if (arg == "--effect") {
            if (!value(v) || !ParseEffect(v, options, error)) return false;
        } else if (arg == "--rotate") {
            if (!value(v) || !ParseRotate(v, options, error)) return false;
        } else if (arg == "--follow-mouse") {
            if (!value(v)) return false;
            const std::size_t x = v.find('x');
            if (x == std::string::npos || !ParseInts(v.substr(0, x) + "," + v.substr(x + 1), ints, 2) || ints[0] <= 0 ||
                ints[1] <= 0) {
                error = "--follow-mouse takes a size WxH, as in --follow-mouse 640x480.";
                return false;
            }
            options.followMouse = Size{ints[0], ints[1]};
        } else if (arg == "--fps" || arg == "--mspf" || arg == "--duration" || arg == "--quality" ||
                   arg == "--keyframes") {
            if (!value(v)) return false;
            const struct {
                const char* name;
                std::optional<int>* target;
                int low, high;
            } ranges[] = {{"--fps", &options.fps, 1, 1000},
                          {"--mspf", &options.mspf, 1, 1000},
                          {"--duration", &options.durationSeconds, 1, 255 * 3600 + 59 * 60 + 59},
                          {"--quality", &options.quality, 1, 10000},
                          {"--keyframes", &options.keyFrames, 1, 1000000}};
            for (const auto& r : ranges) {
                if (arg != r.name) continue;
                if (!ParseInts(v, ints, 1) || ints[0] < r.low || ints[0] > r.high) {
                    error =
                        arg + " takes a number from " + std::to_string(r.low) + " to " + std::to_string(r.high) + ".";
                    return false;
                }
                *r.target = ints[0];
            }
        } else if (arg == "--codec") {
            if (!value(options.codec)) return false;
            if (options.codec != "none" && options.codec.size() != 4) {
                error = "--codec takes a four-character code such as MJPG or H264, or none.";
                return false;
            }
        } else if (arg == "--after") {
            options.compressAfter = true;
        } else if (arg == "--yes") {
            options.answerYes = true;
        } else if (arg == "--no-frame") {
            options.frame = false;
        } else if (arg == "--list-codecs") {
            options.listCodecs = true;
        } else if (arg == "--audio") {
            options.audio = true;
        } else if (arg == "--audio-format") {
            if (!value(v)) return false;
            if (!ParseInts(v, ints, 1) || ints[0] < 1 || ints[0] > kStockPCMFormatCount) {
                error = "--audio-format takes a number from 1 to 20; see --list-audio-formats.";
                return false;
            }
            options.audioFormat = ints[0];
        } else if (arg == "--audio-input") {
            if (!value(options.audioInput)) return false;
        } else if (arg == "--list-audio-inputs") {
            options.listAudioInputs = true;
        } else if (arg == "--list-audio-formats") {
            options.listAudioFormats = true;
        } else if (!arg.empty() && arg[0] != '-' && options.outputFile.empty()) {
            options.outputFile = arg;
        } else {
            error = "Unknown argument '" + arg + "'.";
            return false;
        }
    }
    const bool listing =
        options.listCodecs || options.listAudioInputs || options.listAudioFormats || options.listMonitors;
    if (!options.help && !options.version && options.snapshotFile.empty() && options.outputFile.empty() && !listing) {
        error = "Nothing to do: give an output file, --snapshot FILE.bmp or a --list option.";
        return false;
    }
    if (!options.snapshotFile.empty() && !options.outputFile.empty()) {
        error = "Give either an output file or --snapshot, not both.";
        return false;
    }
    if (options.recover && (options.outputFile.empty() || !options.snapshotFile.empty() || listing)) {
        error = "--recover needs the output file to save into, and nothing else to do.";
        return false;
    }
    if (options.compressAfter && options.codec == "none") {
        error = "--after needs a compressor to compress with.";
        return false;
    }
    if (options.followMouse && (options.area || options.fullScreen)) {
        error = "--follow-mouse excludes --area and --full-screen.";
        return false;
    }
    if (options.effects.Contains(TUseFilter::UseColorNoise) && options.effects.Contains(TUseFilter::UseMonoNoise)) {
        error = "Choose one of color-noise and mono-noise.";
        return false;
    }
    if (options.area && options.fullScreen) {
        error = "--area and --full-screen exclude each other.";
        return false;
    }
    return true;
}

void ApplyToCamera(const Options& options, TScreenCamera& camera) {
    camera.SetColors(PixelFormatForBits(options.colors));
    camera.SetRecordCursor(options.cursor);
    camera.SetRecordAllMonitors(options.allMonitors);
    camera.SetCurrentMonitor(options.monitor);
    if (options.fullScreen) {
        camera.ScreenArea().SetScreenRegion(TScreenRegion::FullScreen);
        camera.SetFullScreenArea();
    } else if (options.area) {
        camera.ScreenArea().SetScreenRegion(TScreenRegion::FixedStable);
        camera.ScreenArea().SetBounds(*options.area);
    } else if (options.followMouse) {
        camera.ScreenArea().SetScreenRegion(TScreenRegion::FixedMoving);
        camera.ScreenArea().SetScreenWidth(options.followMouse->width);
        camera.ScreenArea().SetScreenHeight(options.followMouse->height);
    } else {
        camera.ScreenArea().SetScreenRegion(TScreenRegion::FullScreen);
        camera.SetFullScreenArea();
    }
    if (options.fps) camera.SetPlayBack_FPS(*options.fps);
    if (options.mspf) camera.SetRecord_MSPF(*options.mspf);
    if (options.quality) camera.SetCompressionQuality(*options.quality);
    if (options.keyFrames) camera.SetKeyFramesEvery(*options.keyFrames);
    if (options.durationSeconds) {
        const int s = *options.durationSeconds;
        camera.SetRecordingDuration(TRecordingDuration{true, static_cast<std::uint8_t>(s / 3600),
                                                       static_cast<std::uint8_t>(s / 60 % 60),
                                                       static_cast<std::uint8_t>(s % 60)});
    }
    camera.SetDrawAreaCapture(options.frame);
    camera.SetUseAudioRecord(options.audio);
    camera.SetAudioFormatIndex(options.audioFormat.value_or(kDefaultAudioFormat) - 1);
    camera.SetMinimizeAppOnStart(false);
    camera.SetRecordType(options.codec == "none" ? TTypeRecord::NoCompress
                         : options.compressAfter ? TTypeRecord::CompressAfterRecord
                                                 : TTypeRecord::CompressOnFly);
    for (const Options::IndexedValue& v : options.values) camera.FilterValues().SetIndexedValue(v.index, v.value);
    TUseFilters effects = options.effects;
    if (options.rotate) {
        camera.FilterValues().SetTypeScreenRotate(*options.rotate);
        effects = effects.With(TUseFilter::UseRotateImage);
    }
    camera.SetUseFilters(effects);
}

}  // namespace tolm::cli
