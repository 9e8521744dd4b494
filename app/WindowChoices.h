#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/Geometry.h"

namespace tolm {

// Every choice the user makes in the main window and its dialogs, as plain values: what "Remember my settings"
// keeps between runs. Defaults are the window's stored configuration. List choices are kept by their place in
// the window's fixed lists; the compressor by its four-character code and the sound input by its name, since
// those lists differ between machines.
struct WindowChoices {
    int region = 2;             // "Region moving by mouse"
    Rect area{0, 0, 300, 300};  // as typed into the four edits
    int monitor = 1;            // 1-based
    bool allMonitors = false;
    std::string outputFile;        // empty: the documents folder's Capture.avi
    int recordType = 1;            // "Compress On Fly"
    std::uint32_t compressor = 0;  // four-character code; 0: none chosen
    int quality = 10000;
    int keyFrames = 300;
    int frameMs = 20;
    int playbackFps = 50;
    bool autoTiming = true;
    bool sound = false;
    std::string soundInput;  // empty: the engine's own choice
    int soundFormat = -1;    // index in the stock format list; -1: the engine's default
    bool cursor = true;
    std::uint16_t effects = 0;                                                  // TUseFilters bits
    std::array<std::int32_t, 10> effectValues{0, 0, 1, 0, 0, 0, 255, 0, 0, 0};  // TFilterValues' indices
    int rotation = 0;                                                           // TScreenRotate
    bool overlay = false;
    bool overlayEffects = false;
    std::string overlayFile;
    bool durationOn = false;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int colors = 3;    // "32 bit"
    int priority = 3;  // "Normal"
    bool frameRectangle = true;
    bool frameCorners = true;
    bool minimize = true;
    bool restore = true;
    int updateMs = 250;
    bool wide = false;
    std::optional<Point> position;  // the window's outer top-left corner; none: placed on the screen

    friend bool operator==(const WindowChoices&, const WindowChoices&) = default;
};

// The choices as text: a comment line, then one "key=value" line each.
std::string WindowChoicesText(const WindowChoices& choices);

// Reads a text of WindowChoicesText. Lines it does not know are skipped and a value outside its range keeps
// its default, so a file of another version still loads. False, with `problem` naming the line, when the text is
// not such a text at all: a line without "=", or a value of the wrong kind.
bool ParseWindowChoices(const std::string& text, WindowChoices& choices, std::string& problem);

}  // namespace tolm
