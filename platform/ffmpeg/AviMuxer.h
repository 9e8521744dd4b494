#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AacEncoder.h"
#include "platform/ffmpeg/AvHandles.h"
#include "platform/ffmpeg/OutputContainer.h"
#include "platform/ffmpeg/VideoFormat.h"

namespace tolm::ffmpeg {

// Frames a stream still has on their way to the muxer.
class PendingWrites {
  public:
    virtual ~PendingWrites() = default;
    // Waits until they are written and takes no more: the file is about to be finished.
    virtual void CloseAfterWriting() = 0;
};

// An AVI file being written through libavformat's muxer, shared by the file object and its streams.
// The header goes out with the first sample, once every stream has its format; the muxer switches to
// OpenDML by itself past 1 GB. Thread-safe.
// A save may write MP4 or Matroska instead, which know no empty frames: there a frame lasts until the next
// one, the last until the end of the timeline, and MP4's sound is encoded to AAC on the way.
class AviMuxer {
  public:
    // On failure `problem` (if given) holds the system's reason.
    static AviResult Create(const std::string& path, std::shared_ptr<AviMuxer>& out,
                            OutputContainer container = OutputContainer::avi, std::string* problem = nullptr);
    AviMuxer() = default;  // use Create
    // A started file that nobody finished is completed, so what was recorded stays playable.
    ~AviMuxer();
    AviMuxer(const AviMuxer&) = delete;
    AviMuxer& operator=(const AviMuxer&) = delete;

    AviResult AddStream(const AviStreamInfo& info, int& index);
    AviResult SetFormat(int index, const void* format, std::size_t size);
    std::vector<std::uint8_t> Format(int index) const;
    AviStreamInfo Info(int index) const;

    // `samples` samples at `start`; video takes one frame per call and leaves skipped positions empty.
    AviResult Write(int index, std::int64_t start, std::int64_t samples, const void* data, std::size_t size,
                    std::uint32_t flags);
    // The same for one frame whose bytes the muxer may change while writing them (saves a copy).
    AviResult WriteFrameInPlace(int index, std::int64_t start, std::uint8_t* data, std::size_t size,
                                std::uint32_t flags);

    // Finish waits for these first (while they live), so nothing queued for the file is lost.
    void WaitBeforeFinish(std::weak_ptr<PendingWrites> pending);
    // A sample meant for the file was lost on its way (e.g. it could not be encoded): the file is not whole.
    void MarkFailed(AviResult result);

    // Writes what is pending, the index and the final header and closes the file: whether the file is whole.
    AviResult Finish();
    // Closes without completing; for a file about to be deleted.
    void Abandon();

    // The system's reason for the first failed write ("" while none failed, or when it gave none).
    std::string FailureReason() const;

  private:
    struct Stream {
        AviStreamInfo info;
        bool video = false;
        std::vector<std::uint8_t> format;
        std::optional<DibLayout> raw;  // uncompressed video
        AVRational timeline{1, 1};     // what positions count in
        std::int64_t next = 0;         // first position not yet written
        int blockAlign = 0;
        std::vector<std::uint8_t> scratch;
        std::unique_ptr<AacEncoder> aac;  // MP4's sound
        AvPacketPtr held;                 // MP4, Matroska: the last frame, until its duration is known
        std::int64_t heldAt = 0;
    };

    AviResult WriteSamples(int index, std::int64_t start, std::int64_t samples, const void* data, std::size_t size,
                           std::uint32_t flags, std::uint8_t* writable);
    AviResult Start();  // with the lock held
    AviResult WritePacket(int index, std::int64_t position, std::int64_t samples, const std::uint8_t* data,
                          std::size_t size, bool key);  // with the lock held
    AviResult Fail(int error, AviResult fallback);
    // MP4 and Matroska (with the lock held): a frame is kept until the next says how long it lasts.
    AviResult HoldFrame(int index, std::int64_t position, const std::uint8_t* data, std::size_t size, bool key);
    AviResult WriteHeld(int index, std::int64_t end);
    AviResult WriteOwned(int index, AVPacket& packet, AVRational timeBase);
    AviResult WriteTails();
    void FlushNowAndThen();  // with the lock held

    mutable std::mutex mutex_;
    OutputContainer container_ = OutputContainer::avi;
    AvOutputContextPtr ctx_;
    AvPacketPtr packet_;
    std::vector<Stream> streams_;
    std::vector<std::weak_ptr<PendingWrites>> pending_;
    bool started_ = false;
    bool finished_ = false;
    AviResult failure_ = AVIERR_OK;  // the first failed write; the file is not whole after it
    int failureError_ = 0;           // its FFmpeg error
    AviResult finishResult_ = AVIERR_OK;
    std::chrono::steady_clock::time_point lastFlush_{};
    double flushedSeconds_ = 0;  // media time of the furthest packet at the last flush
    double writtenSeconds_ = 0;  // media time of the furthest packet written
};

}  // namespace tolm::ffmpeg
