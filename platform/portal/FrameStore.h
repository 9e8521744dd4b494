#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/Geometry.h"
#include "imaging/PixelRows.h"
#include "platform/ScreenSource.h"

namespace tolm::portal {

// The pointer as the stream's metadata last described it, in stream coordinates.
struct PointerUpdate {
    bool hasPosition = false;
    Point position;
    Point hotspot;
    bool hasImage = false;  // a new image (possibly empty: the pointer is hidden) comes with this update
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// The newest picture and pointer a stream delivered, handed from the PipeWire thread to the threads that grab.
// A desktop hands pictures over on its own clock, so two may come between two grabs and one would never be
// recorded; a picture no grab has taken yet is held back for the next grab while it is recent, one at most.
class FrameStore {
  public:
    using Clock = std::chrono::steady_clock;
    // How long an untaken picture is held back for the next grab.
    static constexpr std::chrono::milliseconds kHoldFor{50};

    // Swaps in `pixels` (width x height rows of blue, green, red, 0 without padding) as the newest picture;
    // `pixels` gets memory of an earlier one back for reuse.
    void Publish(std::vector<std::uint8_t>& pixels, int width, int height, Clock::time_point arrived = Clock::now());
    // The size the stream agreed on, for Size() before the first picture.
    void SetNegotiatedSize(int width, int height);
    void UpdatePointer(PointerUpdate& update);
    // The stream is gone; every later Cut fails with `why`.
    void End(const std::string& why);

    // Copies `area` of the held-back picture, else of the newest, whose top left corner lies at `origin`, into
    // dst (area-sized), black outside the picture, after waiting up to `firstFrameWait` for a first picture. False
    // with `problem` set when there is none or the stream ended.
    bool Cut(const Rect& area, Point origin, const PixelRows& dst, std::chrono::milliseconds firstFrameWait,
             std::string& problem, Clock::time_point now = Clock::now());
    // Waits up to `timeout` until the stream agreed on a size. False with `problem` set when it did not or the
    // stream ended.
    bool WaitForSize(std::chrono::milliseconds timeout, std::string& problem);
    // Whether a picture arrived since the sequence number in `seen`, which is brought up to date, or one that
    // arrived earlier has not been cut yet, or the stream ended.
    bool ChangedSince(std::uint64_t& seen) const;
    // Whether the stream is alive and has sent no picture yet.
    bool AwaitingFirstPicture() const;
    // The newest picture's size, else the negotiated one; zero before either is known.
    void Size(int& width, int& height) const;
    // The pointer in stream coordinates; false while no metadata has told where it is.
    bool Pointer(CursorImage& cursor) const;

  private:
    struct Picture {
        std::vector<std::uint8_t> pixels;
        int width = 0;
        int height = 0;
        Clock::time_point arrived;
        bool taken = false;  // a grab has cut it
    };
    bool CutFrom(const Picture& picture, const Rect& area, Point origin, const PixelRows& dst) const;

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    Picture newest_;
    Picture held_;  // an untaken picture the newest came after; valid while heldValid_
    bool heldValid_ = false;
    int negotiatedWidth_ = 0;
    int negotiatedHeight_ = 0;
    std::uint64_t sequence_ = 0;
    std::string ended_;
    bool pointerKnown_ = false;
    CursorImage pointer_;
};

}  // namespace tolm::portal
