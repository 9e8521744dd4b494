#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture/ScreenCamera.h"

namespace tolm::cli {

// What tolm-record was asked to do.
struct Options {
    bool help = false;
    std::string snapshotFile;  // grab one frame into this .bmp file
    std::string display;       // empty: $DISPLAY
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
};

// Parses the arguments (without the program name). Returns false with a message naming the bad argument.
bool ParseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

// Puts the parsed area, colours, cursor and effects into the engine.
void ApplyToCamera(const Options& options, TScreenCamera& camera);

const char* UsageText();

}  // namespace tolm::cli
