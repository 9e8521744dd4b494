#pragma once

#include <cstdint>
#include <memory>

#include "imaging/PackedDib.h"
#include "platform/Host.h"
#include "platform/VideoTypes.h"

namespace tolm {

// A compressor opened for queries.
class VideoCompressor {
  public:
    virtual ~VideoCompressor() = default;

    // Whether frames of this format (a packed DIB's header and colour table) can be compressed, with the
    // compressor choosing its output format.
    virtual bool CompressQuery(const BitmapInfoHeader& input) = 0;
    virtual CompressorInfo GetInfo() = 0;

    virtual bool HasAboutBox() = 0;
    virtual void ShowAbout(Host& host) = 0;
    virtual bool HasConfigureDialog() = 0;
    // Lets the user edit the compressor's own settings; they apply to every later use of it in this run.
    virtual void Configure(Host& host) = 0;
};

// The installed video compressors.
class CompressorManager {
  public:
    virtual ~CompressorManager() = default;

    // The index-th installed compressor of class fccType; false when there is no such index.
    virtual bool Info(std::uint32_t fccType, std::uint32_t index, CompressorInfo& info) = 0;

    // Opens a compressor for queries; nullptr when it cannot be opened.
    virtual std::unique_ptr<VideoCompressor> Open(std::uint32_t fccType, std::uint32_t fccHandler) = 0;
};

}  // namespace tolm
