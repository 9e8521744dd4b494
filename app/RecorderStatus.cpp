#include "app/RecorderStatus.h"

#include <algorithm>

namespace tolm {

void RecorderStatus::Recording(bool paused, const std::string& elapsed) {
    phase_ = paused ? Phase::paused : Phase::recording;
    // Whole seconds: "h : m : s" of the engine's "h : m : s : ms".
    elapsed_ = elapsed.substr(0, elapsed.rfind(" : "));
    savedFile_.clear();
}

void RecorderStatus::Saving(int percent, const std::string& caption) {
    phase_ = Phase::saving;
    percent_ = std::clamp(percent, 0, 100);
    if (!caption.empty()) caption_ = caption;  // a step's last report may come without one
}

void RecorderStatus::Saved(const std::string& file) {
    phase_ = Phase::saved;
    savedFile_ = file;
}

void RecorderStatus::Finished() {
    phase_ = savedFile_.empty() ? Phase::idle : Phase::saved;
}

std::string RecorderStatus::StatusText() const {
    switch (phase_) {
        case Phase::recording:
            return "Recording " + elapsed_;
        case Phase::paused:
            return "Paused " + elapsed_;
        case Phase::saving:
            return caption_ + " " + std::to_string(percent_) + "%";
        case Phase::saved:
            return "Saved: " + savedFile_.substr(savedFile_.find_last_of('/') + 1);
        case Phase::idle:
            break;
    }
    return {};
}

}  // namespace tolm
