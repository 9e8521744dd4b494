#include "cli/CommandLine.h"

#include <charconv>
#include <map>

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
        {"invert", {TUseFilter::UseReverseColor, -1}},  {"grayscale", {TUseFilter::UseGrayScale, -1}},
        {"sepia", {TUseFilter::UseSepia, -1}},          {"color-noise", {TUseFilter::UseColorNoise, 0}},
        {"mono-noise", {TUseFilter::UseMonoNoise, 1}},  {"posterize", {TUseFilter::UsePosterize, 2}},
        {"color-adjust", {TUseFilter::UseColorAdjust, 3}}, {"saturation", {TUseFilter::UseSaturation, 6}},
        {"darkness", {TUseFilter::UseDarkness, 7}},     {"brightness", {TUseFilter::UseBrightness, 8}},
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
        {"left", TScreenRotate::RLeft},
        {"right", TScreenRotate::RRight},
        {"reverse", TScreenRotate::RReverse},
        {"horizontal", TScreenRotate::RHorizontal},
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

const char* UsageText() {
    return "Usage: tolm-record --snapshot FILE.bmp [options]\n"
           "Grabs one frame of the screen through the capture engine and writes it as a BMP file.\n"
           "  --area X,Y,W,H          the rectangle to grab (default: 0,0,300,300)\n"
           "  --full-screen           the whole monitor (see --monitor) or desktop (--all-monitors)\n"
           "  --monitor N             1-based monitor for --full-screen (default 1)\n"
           "  --all-monitors          --full-screen takes every monitor\n"
           "  --colors 8|16|24|32     colour depth of the frame (default 32)\n"
           "  --no-cursor             leave the mouse cursor out\n"
           "  --effect NAME[=VALUE]   repeatable: invert, grayscale, sepia, brightness=V, contrast=V,\n"
           "                          darkness=V, saturation=V, color-noise=N, mono-noise=N, posterize=P,\n"
           "                          color-adjust=R,G,B\n"
           "  --rotate KIND           left, right, reverse, horizontal or vertical\n"
           "  --display NAME          X display to grab (default: $DISPLAY)\n";
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
        } else if (arg == "--snapshot") {
            if (!value(options.snapshotFile)) return false;
        } else if (arg == "--display") {
            if (!value(options.display)) return false;
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
        } else {
            error = "Unknown argument '" + arg + "'.";
            return false;
        }
    }
    if (!options.help && options.snapshotFile.empty()) {
        error = "Nothing to do: give --snapshot FILE.bmp.";
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
    }
    for (const Options::IndexedValue& v : options.values) camera.FilterValues().SetIndexedValue(v.index, v.value);
    TUseFilters effects = options.effects;
    if (options.rotate) {
        camera.FilterValues().SetTypeScreenRotate(*options.rotate);
        effects = effects.With(TUseFilter::UseRotateImage);
    }
    camera.SetUseFilters(effects);
}

}  // namespace tolm::cli
