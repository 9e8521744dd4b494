#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "capture/CameraTypes.h"

namespace tolm {

// What a recording's temporary files are meant to become, written beside them when the recording starts: what a
// crash or a cancel leaves is then saved next to the file the user asked for, and as that save would have made it.
struct RecordingNote {
    std::string outputFile;  // absolute; empty when unknown
    TTypeRecord recordType = TTypeRecord::CompressOnFly;
    std::uint32_t compressor = 0;  // of a recording compressed after it ends
    int quality = 0;
    int keyFramesEvery = 0;
    int mspf = 0;  // milliseconds of recording per frame; 0 when unknown

    std::string Text() const;
    // Nothing when the text is no note (another program's file, or one cut short before its last line).
    static std::optional<RecordingNote> Parse(const std::string& text);
    static std::optional<RecordingNote> Read(const std::string& file);
};

// "<name> (recovered).<ext>" beside `intended`, else the first free one of "<name> (recovered 2).<ext>", ...: a
// recovered recording never replaces a file, nor a link to nowhere.
std::string RecoveredFileName(const std::string& intended);

}  // namespace tolm
