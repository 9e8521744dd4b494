#include "platform/portal/FrameStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tolm::portal {

namespace {

// The part of `area` on `picture`, computed wide so that areas near the int limits cannot overflow.
Rect Clip(const Rect& area, const Rect& picture) {
    const std::int64_t left = std::max<std::int64_t>(area.left, picture.left);
    const std::int64_t top = std::max<std::int64_t>(area.top, picture.top);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{area.left} + area.width, picture.Right());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{area.top} + area.height, picture.Bottom());
    if (right <= left || bottom <= top) return Rect{};
    return Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                static_cast<int>(bottom - top)};
}

}  // namespace

void FrameStore::Publish(std::vector<std::uint8_t>& pixels, int width, int height, Clock::time_point arrived) {
    {
        const std::lock_guard lock(mutex_);
        if (sequence_ > 0 && !newest_.taken && arrived - newest_.arrived < kHoldFor) {
            // Not grabbed yet: it waits for the next grab; an older held one goes.
            std::swap(held_, newest_);
            heldValid_ = true;
        } else {
            heldValid_ = false;
        }
        newest_.pixels.swap(pixels);
        newest_.width = width;
        newest_.height = height;
        newest_.arrived = arrived;
        newest_.taken = false;
        ++sequence_;
    }
    arrived_.notify_all();
}

void FrameStore::SetNegotiatedSize(int width, int height) {
    {
        const std::lock_guard lock(mutex_);
        negotiatedWidth_ = width;
        negotiatedHeight_ = height;
    }
    arrived_.notify_all();
}

bool FrameStore::WaitForSize(std::chrono::milliseconds timeout, std::string& problem) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [this] { return negotiatedWidth_ > 0 || !ended_.empty(); });
    if (!ended_.empty()) {
        problem = ended_;
        return false;
    }
    if (negotiatedWidth_ > 0) return true;
    problem = "The desktop's screen sharing agreed on no picture format within " +
              std::to_string((timeout.count() + 999) / 1000) + " s.";
    return false;
}

void FrameStore::UpdatePointer(PointerUpdate& update) {
    const std::lock_guard lock(mutex_);
    if (update.hasPosition) {
        pointerKnown_ = true;
        pointer_.position = update.position;
        pointer_.hotspot = update.hotspot;
    }
    if (update.hasImage) {
        pointer_.width = update.width;
        pointer_.height = update.height;
        pointer_.argb.swap(update.argb);
    }
    pointer_.visible = pointerKnown_ && pointer_.width > 0 && pointer_.height > 0;
}

void FrameStore::End(const std::string& why) {
    {
        const std::lock_guard lock(mutex_);
        if (ended_.empty()) ended_ = why;
    }
    arrived_.notify_all();
}

bool FrameStore::Cut(const Rect& area, Point origin, const PixelRows& dst, std::chrono::milliseconds firstFrameWait,
                     std::string& problem, Clock::time_point now) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, firstFrameWait, [this] { return sequence_ > 0 || !ended_.empty(); });
    if (!ended_.empty()) {
        problem = ended_;
        return false;
    }
    if (sequence_ == 0) {
        problem = "The desktop's screen sharing sent no picture within " +
                  std::to_string((firstFrameWait.count() + 999) / 1000) +
                  " s; some desktops send the first one only once something on the screen changes.";
        return false;
    }
    // A held picture that waited too long gives way to the newest: a grab never shows a stale screen.
    if (heldValid_ && now - held_.arrived <= kHoldFor) {
        heldValid_ = false;
        return CutFrom(held_, area, origin, dst);
    }
    heldValid_ = false;
    newest_.taken = true;
    return CutFrom(newest_, area, origin, dst);
}

bool FrameStore::CutFrom(const Picture& picture, const Rect& area, Point origin, const PixelRows& dst) const {
    const Rect visible = Clip(area, Rect{origin.x, origin.y, picture.width, picture.height});
    const std::size_t rowBytes = static_cast<std::size_t>(dst.width) * 4;
    for (int y = 0; y < dst.height; ++y) {
        std::uint8_t* row = dst.Row(y);
        const std::int64_t sourceY = std::int64_t{area.top} + y;
        if (visible.Empty() || sourceY < visible.top || sourceY >= visible.Bottom()) {
            std::memset(row, 0, rowBytes);
            continue;
        }
        const std::size_t before = static_cast<std::size_t>(std::int64_t{visible.left} - area.left) * 4;
        const std::size_t inside = static_cast<std::size_t>(visible.width) * 4;
        std::memset(row, 0, before);
        const std::size_t pictureY = static_cast<std::size_t>(sourceY - origin.y);
        const std::size_t pictureX = static_cast<std::size_t>(visible.left - origin.x);
        std::memcpy(row + before, picture.pixels.data() + (pictureY * picture.width + pictureX) * 4, inside);
        std::memset(row + before + inside, 0, rowBytes - before - inside);
    }
    return true;
}

bool FrameStore::ChangedSince(std::uint64_t& seen) const {
    const std::lock_guard lock(mutex_);
    // A held picture always has an untaken newest one after it. An end is a change too: the grab it brings fails
    // with the reason, where the last picture would otherwise stand for the rest of a recording.
    const bool changed = sequence_ != seen || (sequence_ > 0 && !newest_.taken) || !ended_.empty();
    seen = sequence_;
    return changed;
}

bool FrameStore::AwaitingFirstPicture() const {
    const std::lock_guard lock(mutex_);
    return sequence_ == 0 && ended_.empty();
}

void FrameStore::Size(int& width, int& height) const {
    const std::lock_guard lock(mutex_);
    width = sequence_ > 0 ? newest_.width : negotiatedWidth_;
    height = sequence_ > 0 ? newest_.height : negotiatedHeight_;
}

bool FrameStore::Pointer(CursorImage& cursor) const {
    const std::lock_guard lock(mutex_);
    if (!pointerKnown_) return false;
    cursor = pointer_;
    return true;
}

}  // namespace tolm::portal
