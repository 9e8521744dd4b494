#pragma once

#include <cstdint>
#include <memory>

#include "platform/VideoCompressors.h"
#include "platform/ffmpeg/CompressorRegistry.h"

namespace tolm::ffmpeg {

// The installed compressors are the catalogue's entries whose libavcodec encoder exists. Thread-safe.
class FfmpegCompressorManager final : public CompressorManager {
  public:
    FfmpegCompressorManager();

    bool Info(std::uint32_t fccType, std::uint32_t index, CompressorInfo& info) override;
    std::unique_ptr<VideoCompressor> Open(std::uint32_t fccType, std::uint32_t fccHandler) override;

    // Shared with the compressors and the AVI library, so either may outlive the manager.
    std::shared_ptr<CompressorRegistry> Registry() const { return registry_; }

  private:
    std::shared_ptr<CompressorRegistry> registry_;
};

}  // namespace tolm::ffmpeg
