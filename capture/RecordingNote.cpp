#include "capture/RecordingNote.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "imaging/Utf8Path.h"
#include "platform/Files.h"

namespace tolm {
namespace {

// The last line: a note without it was cut short.
constexpr const char* kEnd = "end";
constexpr std::size_t kMostBytes = 64 * 1024;

bool ReadNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    return error == std::errc() && end == last && value >= low && value <= high;
}

}  // namespace

std::string RecordingNote::Text() const {
    std::ostringstream text;
    // A name with a line break in it would end its line early: such a recording is saved as one without a note.
    if (outputFile.find('\n') == std::string::npos) text << "output=" << outputFile << '\n';
    text << "record-type=" << static_cast<int>(recordType) << '\n'
         << "compressor=" << compressor << '\n'
         << "quality=" << quality << '\n'
         << "key-frames=" << keyFramesEvery << '\n'
         << "mspf=" << mspf << '\n'
         << kEnd << '\n';
    return text.str();
}

std::optional<RecordingNote> RecordingNote::Parse(const std::string& text) {
    RecordingNote note;
    std::istringstream lines(text);
    bool ended = false;
    for (std::string line; !ended && std::getline(lines, line);) {
        if (line == kEnd) {
            ended = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) return std::nullopt;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        std::int64_t number = 0;
        if (key == "output") {
            if (!value.empty() && !IsAbsolutePath(value)) return std::nullopt;
            note.outputFile = value;
        } else if (key == "record-type" && ReadNumber(value, 0, 2, number)) {
            note.recordType = static_cast<TTypeRecord>(number);
        } else if (key == "compressor" && ReadNumber(value, 0, UINT32_MAX, number)) {
            note.compressor = static_cast<std::uint32_t>(number);
        } else if (key == "quality" && ReadNumber(value, 0, 10000, number)) {
            note.quality = static_cast<int>(number);
        } else if (key == "key-frames" && ReadNumber(value, 0, INT32_MAX, number)) {
            note.keyFramesEvery = static_cast<int>(number);
        } else if (key == "mspf" && ReadNumber(value, 0, 1000, number)) {
            note.mspf = static_cast<int>(number);
        } else {
            return std::nullopt;
        }
    }
    if (!ended) return std::nullopt;
    return note;
}

std::optional<RecordingNote> RecordingNote::Read(const std::string& file) {
    if (file.empty()) return std::nullopt;
    std::ifstream in(Utf8Path(file), std::ios::binary);
    std::string text(kMostBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMostBytes) return std::nullopt;
    return Parse(text);
}

std::string RecoveredFileName(const std::string& intended) {
    // The folder as it is written, with the separator after it but for a root that has one of its own.
    std::size_t nameAt = FolderOf(intended).size();
    if (nameAt > 0 && nameAt < intended.size() && (intended[nameAt] == '/' || intended[nameAt] == '\\')) ++nameAt;
    const std::string folder = intended.substr(0, nameAt);
    const std::string name = intended.substr(nameAt);
    const std::size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    for (int n = 1;; ++n) {
        const std::string mark = n == 1 ? " (recovered)" : " (recovered " + std::to_string(n) + ")";
        std::string candidate = folder + stem + mark + extension;
        if (!FileExists(candidate)) return candidate;
    }
}

}  // namespace tolm
