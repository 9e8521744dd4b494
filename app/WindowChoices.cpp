#include "app/WindowChoices.h"

#include <charconv>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/VideoTypes.h"

namespace tolm {
namespace {

// One key of the text. `read` answers false for a value of the wrong kind and leaves a value of the right kind
// but outside its range at the default.
struct Field {
    const char* key;
    std::function<std::string(const WindowChoices&)> write;
    std::function<bool(std::string_view, WindowChoices&)> read;
};

bool ParseNumber(std::string_view text, long long& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// `count` numbers separated by commas.
bool ParseNumbers(std::string_view text, std::size_t count, std::vector<long long>& values) {
    values.clear();
    for (;;) {
        const std::size_t comma = text.find(',');
        long long value = 0;
        if (!ParseNumber(text.substr(0, comma), value)) return false;
        values.push_back(value);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return values.size() == count;
}

template <typename Numbers>
std::string Joined(const Numbers& values) {
    std::string text;
    for (const auto v : values) {
        if (!text.empty()) text += ',';
        text += std::to_string(v);
    }
    return text;
}

std::string Joined(std::initializer_list<long long> values) {
    return Joined<std::initializer_list<long long>>(values);
}

Field Number(const char* key, int WindowChoices::*member, int min, int max) {
    return {key, [member](const WindowChoices& c) { return std::to_string(c.*member); },
            [member, min, max](std::string_view text, WindowChoices& c) {
                long long value = 0;
                if (!ParseNumber(text, value)) return false;
                if (value >= min && value <= max) c.*member = static_cast<int>(value);
                return true;
            }};
}

Field YesNo(const char* key, bool WindowChoices::*member) {
    return {key, [member](const WindowChoices& c) { return std::string(c.*member ? "yes" : "no"); },
            [member](std::string_view text, WindowChoices& c) {
                if (text != "yes" && text != "no") return false;
                c.*member = text == "yes";
                return true;
            }};
}

// A name with a line break in it cannot be kept on its line; it is left out and comes back as the default.
Field Text(const char* key, std::string WindowChoices::*member) {
    return {key,
            [member](const WindowChoices& c) {
                const std::string& text = c.*member;
                return text.find_first_of("\r\n") == std::string::npos ? text : std::string();
            },
            [member](std::string_view text, WindowChoices& c) {
                c.*member = std::string(text);
                return true;
            }};
}

Field Area() {
    return {"area",
            [](const WindowChoices& c) {
                return Joined({c.area.left, c.area.top, c.area.width, c.area.height});
            },
            [](std::string_view text, WindowChoices& c) {
                std::vector<long long> v;
                if (!ParseNumbers(text, 4, v)) return false;
                constexpr long long kLimit = 32767;  // the up-downs' signed 16 bits
                bool fits = v[2] > 0 && v[3] > 0;
                for (const long long n : v) fits = fits && n >= -kLimit && n <= kLimit;
                if (fits)
                    c.area = Rect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                  static_cast<int>(v[3])};
                return true;
            }};
}

Field Compressor() {
    return {"compressor",
            [](const WindowChoices& c) { return c.compressor == 0 ? std::string() : FourCCToString(c.compressor); },
            [](std::string_view text, WindowChoices& c) {
                if (text.empty()) {
                    c.compressor = 0;
                    return true;
                }
                if (text.size() != 4) return false;
                c.compressor = MakeFourCC(text[0], text[1], text[2], text[3]);
                return true;
            }};
}

Field EffectValues() {
    return {"effect-values", [](const WindowChoices& c) { return Joined(c.effectValues); },
            [](std::string_view text, WindowChoices& c) {
                std::vector<long long> v;
                if (!ParseNumbers(text, c.effectValues.size(), v)) return false;
                for (std::size_t i = 0; i < v.size(); ++i)
                    if (v[i] >= -65535 && v[i] <= 65535) c.effectValues[i] = static_cast<std::int32_t>(v[i]);
                return true;
            }};
}

Field Effects() {
    return {"effects", [](const WindowChoices& c) { return std::to_string(c.effects); },
            [](std::string_view text, WindowChoices& c) {
                long long value = 0;
                if (!ParseNumber(text, value)) return false;
                if (value >= 0 && value <= 0x0FFF) c.effects = static_cast<std::uint16_t>(value);
                return true;
            }};
}

Field Layout() {
    return {"layout", [](const WindowChoices& c) { return std::string(c.wide ? "wide" : "compact"); },
            [](std::string_view text, WindowChoices& c) {
                if (text != "wide" && text != "compact") return false;
                c.wide = text == "wide";
                return true;
            }};
}

Field Position() {
    return {"position",
            [](const WindowChoices& c) {
                return c.position ? Joined({c.position->x, c.position->y}) : std::string();
            },
            [](std::string_view text, WindowChoices& c) {
                std::vector<long long> v;
                if (text.empty()) {
                    c.position.reset();
                    return true;
                }
                if (!ParseNumbers(text, 2, v)) return false;
                if (v[0] >= -32768 && v[0] <= 32767 && v[1] >= -32768 && v[1] <= 32767)
                    c.position = Point{static_cast<int>(v[0]), static_cast<int>(v[1])};
                return true;
            }};
}

const std::vector<Field>& Fields() {
    using C = WindowChoices;
    static const std::vector<Field> fields{
        Number("region", &C::region, 0, 4),
        Area(),
        Number("monitor", &C::monitor, 1, 64),
        YesNo("all-monitors", &C::allMonitors),
        Text("output", &C::outputFile),
        Number("record-type", &C::recordType, 0, 2),
        Compressor(),
        Number("quality", &C::quality, 1, 10000),
        Number("key-frames", &C::keyFrames, 0, 1000000),
        Number("frame-ms", &C::frameMs, 1, 1000),
        Number("playback-fps", &C::playbackFps, 1, 1000),
        YesNo("auto-timing", &C::autoTiming),
        YesNo("sound", &C::sound),
        Text("sound-input", &C::soundInput),
        Number("sound-format", &C::soundFormat, -1, 19),
        YesNo("cursor", &C::cursor),
        Effects(),
        EffectValues(),
        Number("rotation", &C::rotation, 0, 4),
        YesNo("overlay", &C::overlay),
        YesNo("overlay-effects", &C::overlayEffects),
        Text("overlay-file", &C::overlayFile),
        YesNo("duration", &C::durationOn),
        Number("duration-hours", &C::hours, 0, 99),
        Number("duration-minutes", &C::minutes, 0, 59),
        Number("duration-seconds", &C::seconds, 0, 59),
        Number("colors", &C::colors, 0, 3),
        Number("priority", &C::priority, 0, 6),
        YesNo("frame-rectangle", &C::frameRectangle),
        YesNo("frame-corners", &C::frameCorners),
        YesNo("minimize", &C::minimize),
        YesNo("restore", &C::restore),
        Number("update-ms", &C::updateMs, 0, 500),
        Layout(),
        Position(),
    };
    return fields;
}

}  // namespace

std::string WindowChoicesText(const WindowChoices& choices) {
    std::string text = "# TOLM Screen Capture: the window's settings, kept while \"Remember my settings\" is on.\n";
    for (const Field& field : Fields()) text += std::string(field.key) + "=" + field.write(choices) + "\n";
    return text;
}

bool ParseWindowChoices(const std::string& text, WindowChoices& choices, std::string& problem) {
    choices = WindowChoices{};
    if (text.find('\0') != std::string::npos) {
        problem = "it is no text";
        return false;
    }
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            problem = "line " + std::to_string(number) + " is no setting";
            return false;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        for (const Field& field : Fields()) {
            if (key != field.key) continue;
            if (!field.read(value, choices)) {
                problem = "line " + std::to_string(number) + " has a bad value for " + std::string(key);
                return false;
            }
        }
    }
    return true;
}

}  // namespace tolm
