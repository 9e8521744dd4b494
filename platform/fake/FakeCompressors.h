#pragma once

#include <mutex>
#include <vector>

#include "platform/VideoCompressors.h"

namespace tolm {

// Scripted compressors with size rules, for testing how the engine settles a compressor.
struct FakeCodec {
    CompressorInfo info;
    int widthMultiple = 1;
    int heightMultiple = 1;
    bool opens = true;
    bool hasAbout = true;
    bool hasConfigure = false;
    std::vector<int> bitCounts{8, 16, 24, 32};
};

class FakeCompressorManager final : public CompressorManager {
  public:
    // A codec with handler `fourcc`, named after it.
    static FakeCodec Codec(const char* fourcc, int widthMultiple = 1, int heightMultiple = 1);

    void Add(const FakeCodec& codec);
    bool Info(std::uint32_t fccType, std::uint32_t index, CompressorInfo& info) override;
    std::unique_ptr<VideoCompressor> Open(std::uint32_t fccType, std::uint32_t fccHandler) override;

    // Every frame format the compressors were asked about, in order.
    std::vector<BitmapInfoHeader> Queries() const;
    int AboutShown() const;
    int ConfigureShown() const;

  private:
    friend class FakeVideoCompressor;
    mutable std::mutex mutex_;
    std::vector<FakeCodec> codecs_;
    std::vector<BitmapInfoHeader> queries_;
    int aboutShown_ = 0;
    int configureShown_ = 0;
};

}  // namespace tolm
