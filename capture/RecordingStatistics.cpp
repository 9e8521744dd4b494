#include "capture/RecordingStatistics.h"

namespace tolm {

void RecordingStatistics::SetElapsedTimeText(const std::string& text) {
    std::lock_guard lock(mutex_);
    elapsedTimeText_ = text;
}

std::string RecordingStatistics::ElapsedTimeText() const {
    std::lock_guard lock(mutex_);
    return elapsedTimeText_;
}

std::string RecordingStatistics::VideoCodecName() const {
    std::lock_guard lock(mutex_);
    return videoCodecName_;
}

void RecordingStatistics::SetVideoCodecName(const std::string& name) {
    std::lock_guard lock(mutex_);
    videoCodecName_ = name;
}

std::string RecordingStatistics::LastGrabError() const {
    std::lock_guard lock(mutex_);
    return lastGrabError_;
}

void RecordingStatistics::SetLastGrabError(const std::string& error) {
    std::lock_guard lock(mutex_);
    lastGrabError_ = error;
}

}  // namespace tolm
