#include "platform/ffmpeg/QueuedStream.h"

#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "platform/ThreadPriority.h"
#include "platform/ffmpeg/VideoFormat.h"

namespace tolm::ffmpeg {

QueuedStream::QueuedStream(std::shared_ptr<AviStream> target, std::shared_ptr<AviMuxer> file, bool encodes,
                           const QueueOptions& options)
    : target_(std::move(target)),
      file_(std::move(file)),
      queue_(std::make_shared<FrameQueue>(options.depth, options.limits)),
      encodes_(encodes),
      frameDelay_(options.frameDelay) {
    if (file_) file_->WaitBeforeFinish(queue_);
    fileStream_ = dynamic_cast<AviWriteStream*>(target_.get());
    writer_ = std::thread([this] { Run(); });
}

QueuedStream::~QueuedStream() {
    queue_->Finish();
    // Even an abandoned writer is waited for: it stops before its next frame. (A libavcodec call that never
    // returns would hold this; nothing can interrupt one.)
    writer_.join();
}

std::int64_t QueuedStream::FinishWrites(const AviSaveProgress& progress) {
    return static_cast<std::int64_t>(queue_->Finish(progress));
}

void QueuedStream::StopWaitingForRoom() {
    queue_->StopWaitingForRoom();  // not behind callerMutex_: a waiting Write holds it
}

AviStreamInfo QueuedStream::Info() const {
    queue_->Drain();
    return target_->Info();
}

AviResult QueuedStream::SetFormat(std::int32_t position, const void* format, std::size_t size) {
    std::lock_guard lock(callerMutex_);
    // The format must not change under frames still on their way.
    const AviResult failure = queue_->Drain();
    if (failure != AVIERR_OK) return failure;
    const AviResult rc = target_->SetFormat(position, format, size);
    if (rc == AVIERR_OK) formatKnown_ = false;  // looked at again by the next write
    return rc;
}

bool QueuedStream::FormatKnown() {
    if (formatKnown_) return true;
    const std::vector<std::uint8_t> format = target_->Format();
    if (format.empty()) return false;
    const std::optional<DibLayout> layout = DescribeDibFormat(format.data(), format.size());
    frameSize_ = layout ? layout->imageSize : 0;
    formatKnown_ = true;
    return true;
}

std::vector<std::uint8_t> QueuedStream::Format() const {
    return target_->Format();
}

AviResult QueuedStream::Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                              std::uint32_t flags) {
    std::lock_guard lock(callerMutex_);
    const AviResult failure = queue_->Failure();
    if (failure != AVIERR_OK) return failure;
    // What the target would refuse is refused here, as it would be: a caller's mistake must not pass for a
    // failure of the thread and end the stream.
    if (!FormatKnown()) return AVIERR_BADFORMAT;
    if (start < 0 || start < next_ || samples != 1 || (size > 0 && !data) || (encodes_ && !data)) {
        return AVIERR_BADPARAM;
    }
    if (size < frameSize_ && (encodes_ || size > 0)) return AVIERR_BADSIZE;
    if (frameSize_ > 0 && size > frameSize_) size = frameSize_;  // the rest is never read

    QueuedFrame frame;
    const AviResult reserved = queue_->Reserve(frame.bytes);
    if (reserved != AVIERR_OK) return reserved;
    try {
        frame.bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    }
    if (size > 0) std::memcpy(frame.bytes.data(), data, size);
    frame.position = start;
    frame.flags = flags;
    frame.hasData = data != nullptr;
    next_ = static_cast<std::int64_t>(start) + 1;
    queue_->Push(std::move(frame));
    return AVIERR_OK;
}

AviResult QueuedStream::Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) {
    return target_->Read(position, data, flags);
}

void QueuedStream::Run() {
    SetCurrentThreadName("tolm-encode");
    static const std::uint8_t kNoBytes = 0;
    QueuedFrame frame;
    while (queue_->Pop(frame)) {
        AviResult rc = AVIERR_OK;
        // After a failure the file is not whole; the frames behind it are let go unwritten.
        if (queue_->Failure() == AVIERR_OK) {
            if (frameDelay_.count() > 0) queue_->Delay(frameDelay_);
            try {
                if (fileStream_ && !frame.bytes.empty()) {
                    // The buffer is ours: the file may touch up the bytes in it instead of copying them.
                    rc = fileStream_->WriteInPlace(frame.position, frame.bytes.data(), frame.bytes.size(), frame.flags);
                } else {
                    const void* bytes =
                        frame.bytes.empty() ? (frame.hasData ? &kNoBytes : nullptr) : frame.bytes.data();
                    rc = target_->Write(frame.position, 1, bytes, frame.bytes.size(), frame.flags);
                }
            } catch (const std::bad_alloc&) {
                rc = AVIERR_MEMORY;
            }
            if (rc != AVIERR_OK && file_) file_->MarkFailed(rc);
        }
        queue_->Done(std::move(frame.bytes), rc);
        frame = QueuedFrame{};
    }
}

}  // namespace tolm::ffmpeg
