#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

// Opens a file for reading through libavformat; AVI and WAVE files only.
AviResult OpenInput(const std::string& path, AvInputContextPtr& ctx);

// One stream of an AVI or WAVE file opened for reading, with a demuxer of its own so that streams read
// independently of each other and of their file object. Thread-safe.
class AviReadStream final : public AviStream {
  public:
    // Takes `ctx` (an open input of `path`) and reads stream `index` of it.
    static AviResult Open(const std::string& path, AvInputContextPtr ctx, int index,
                          std::shared_ptr<AviReadStream>& out);
    AviReadStream() = default;  // use Open

    AviStreamInfo Info() const override;
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override;
    std::vector<std::uint8_t> Format() const override;
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override;
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override;

    AviResult ReadChunk(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data,
                        std::uint32_t& flags, std::int64_t& samples) override;

  private:
    AviResult Prepare();  // stream description, after the context is set
    AviResult MeasureByReading();
    AviResult Reopen();
    void DiscardOthers();
    AviResult Seek(std::int64_t position);
    AviResult ReadNext();  // the next packet of this stream into packet_
    void Deliver(std::int64_t position, std::int64_t maxSamples, std::vector<std::uint8_t>& data, std::uint32_t& flags,
                 std::int64_t& samples);

    mutable std::mutex mutex_;
    std::string path_;
    AvInputContextPtr ctx_;
    int index_ = 0;
    bool audio_ = false;
    bool opaque32_ = false;  // 32-bit raw frames, stored with the unused byte set
    int blockAlign_ = 1;
    AVRational positions_{1, 1};  // the unit positions count in
    std::int64_t length_ = 0;
    AviStreamInfo info_;
    std::vector<std::uint8_t> format_;

    AvPacketPtr packet_;
    bool pending_ = false;           // packet_ holds the next packet not yet used up
    std::int64_t pendingStart_ = 0;  // its first position
    std::int64_t pendingCount_ = 0;  // positions it covers
    std::int64_t passed_ = 0;        // every position before this one is behind the demuxer
};

}  // namespace tolm::ffmpeg
