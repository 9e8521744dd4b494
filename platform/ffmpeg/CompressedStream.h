#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/CompressorRegistry.h"
#include "platform/ffmpeg/FrameEncoder.h"

namespace tolm::ffmpeg {

// A video stream that compresses each DIB frame written to it and writes the packet to its target at the
// same position, with the encoder's key-frame flag. Thread-safe.
class CompressedStream final : public AviStream {
  public:
    CompressedStream(std::shared_ptr<AviStream> target, const AviCompressOptions& options, const CatalogEntry& entry,
                     std::shared_ptr<const CompressorRegistry> registry);

    AviStreamInfo Info() const override;
    // Takes the frames' DIB format, opens the encoder for it and gives the target the compressed format.
    AviResult SetFormat(std::int32_t position, const void* format, std::size_t size) override;
    std::vector<std::uint8_t> Format() const override;
    AviResult Write(std::int32_t start, std::int32_t samples, const void* data, std::size_t size,
                    std::uint32_t flags) override;
    AviResult Read(std::int32_t position, std::vector<std::uint8_t>& data, std::uint32_t& flags) override;

  private:
    std::shared_ptr<AviStream> target_;
    AviCompressOptions options_;
    const CatalogEntry& entry_;
    std::shared_ptr<const CompressorRegistry> registry_;

    mutable std::mutex mutex_;
    std::vector<std::uint8_t> format_;
    std::unique_ptr<FrameEncoder> encoder_;
    bool written_ = false;
    std::int64_t next_ = 0;  // positions before this one are written
};

}  // namespace tolm::ffmpeg
