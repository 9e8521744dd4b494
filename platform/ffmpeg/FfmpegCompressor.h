#pragma once

#include <memory>

#include "platform/VideoCompressors.h"
#include "platform/ffmpeg/CompressorRegistry.h"

namespace tolm::ffmpeg {

// One compressor opened for queries. Separate objects may be used on separate threads.
class FfmpegCompressor final : public VideoCompressor {
  public:
    FfmpegCompressor(const CatalogEntry& entry, std::shared_ptr<CompressorRegistry> registry);

    bool CompressQuery(const BitmapInfoHeader& input) override;
    CompressorInfo GetInfo() override;
    bool HasAboutBox() override;
    void ShowAbout(Host& host) override;
    bool HasConfigureDialog() override;
    void Configure(Host& host) override;

  private:
    const CatalogEntry& entry_;
    std::shared_ptr<CompressorRegistry> registry_;
};

}  // namespace tolm::ffmpeg
