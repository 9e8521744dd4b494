#include "app/LatestPreview.h"

#include <utility>

namespace tolm {

bool LatestPreview::Put(Frame frame) {
    std::lock_guard lock(mutex_);
    const bool wasEmpty = !waiting_.has_value();
    waiting_ = std::move(frame);
    return wasEmpty;
}

std::optional<LatestPreview::Frame> LatestPreview::Take() {
    std::lock_guard lock(mutex_);
    std::optional<Frame> frame = std::move(waiting_);
    waiting_.reset();
    return frame;
}

}  // namespace tolm
