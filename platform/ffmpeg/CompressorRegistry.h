#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>

#include "imaging/PackedDib.h"
#include "platform/ffmpeg/EncoderSetup.h"

namespace tolm::ffmpeg {

// What the compressor manager, its compressors and the compressed streams share for the run: the options
// the user chose per compressor and the answers of earlier compress queries. Thread-safe.
class CompressorRegistry {
  public:
    OptionValues Options(std::uint32_t handler) const;
    // New options for later encoders; earlier answers for this compressor no longer hold.
    void SetOptions(std::uint32_t handler, OptionValues options);

    // Whether the compressor opens for frames of this format, asked of libavcodec's encoder itself once per
    // compressor, size and depth; our own encoders answer from their size rules.
    bool Query(const CatalogEntry& entry, const BitmapInfoHeader& format);

    // Opens the encoder with the chosen options.
    int Open(const CatalogEntry& entry, const EncoderParams& params, OpenedEncoder& out) const;

  private:
    using QueryKey = std::tuple<std::uint32_t, std::int32_t, std::int32_t, std::uint16_t>;

    mutable std::mutex mutex_;
    std::map<std::uint32_t, OptionValues> options_;
    std::map<QueryKey, bool> answers_;
    std::map<std::uint32_t, unsigned> generation_;  // per compressor, counts option changes
};

}  // namespace tolm::ffmpeg
