#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/AviMuxer.h"
#include "platform/ffmpeg/AviWriteFile.h"
#include "platform/ffmpeg/FrameQueue.h"

namespace tolm::ffmpeg {

// How a queued stream behaves; the defaults are the recorder's.
struct QueueOptions {
    std::size_t depth = 8;
    WriterLimits limits;
    // For tests: the writer thread waits this long before each frame, an encoder made slow.
    std::chrono::milliseconds frameDelay{0};
};

// A video stream whose writes are copied into a bounded queue and handed to `target` (which encodes
// and/or writes them) on a thread of its own, in call order and at the positions given, so a slow frame
// does not hold up the caller. A failure on that thread is returned by the next Write (or SetFormat), and
// every later Write fails at once. FinishWrites (or destruction) writes what is queued before the thread
// ends, within the options' limits: a stuck encoder costs the frames still queued, not the recording. The
// queue holds about a second of the encoder's work, so what is left at the end is soon written.
// Thread-safe.
class QueuedStream final : public AviStream {
  public:
    // `file` (may be null) is the muxer behind `target`: it waits for the queue before it finishes and
    // learns of failures, so a missing frame never passes for a whole file. `encodes`: the target takes
    // whole pictures only (a file also takes empty frames).
    QueuedStream(std::shared_ptr<AviStream> target, std::shared_ptr<AviMuxer> file, bool encodes,
                 const QueueOptions& options = {});
    ~QueuedStream() override;
    QueuedStream(const QueuedStream&) = delete;
    QueuedStream& operator=(const QueuedStream&) = delete;

    // The target's, once the queued frames are written.
    AviStreamInfo Info() const override;
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override;
    std::vector<std::uint8_t> Format() const override;
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override;
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override;
    std::int64_t FinishWrites(const AviSaveProgress& progress) override;
    void StopWaitingForRoom() override;

  private:
    void Run();
    bool FormatKnown();  // with callerMutex_ held

    std::shared_ptr<AviStream> target_;
    std::shared_ptr<AviMuxer> file_;
    AviWriteStream* fileStream_ = nullptr;  // the target when it is the file's own stream
    std::shared_ptr<FrameQueue> queue_;
    const bool encodes_;
    const std::chrono::milliseconds frameDelay_;

    std::mutex callerMutex_;  // one caller at a time keeps the queue in call order
    bool formatKnown_ = false;
    std::size_t frameSize_ = 0;  // bytes of an uncompressed picture, 0 when the frames are not such
    std::int64_t next_ = 0;      // positions before this one are queued

    std::thread writer_;  // last: starts once the rest is set up
};

}  // namespace tolm::ffmpeg
