#include "platform/ffmpeg/CompressorRegistry.h"

#include <utility>

#include "platform/ffmpeg/VideoFormat.h"
#include "platform/screencodecs/ScreenCodecs.h"

namespace tolm::ffmpeg {

OptionValues CompressorRegistry::Options(std::uint32_t handler) const {
    std::lock_guard lock(mutex_);
    const auto it = options_.find(handler);
    return it == options_.end() ? OptionValues{} : it->second;
}

void CompressorRegistry::SetOptions(std::uint32_t handler, OptionValues options) {
    std::lock_guard lock(mutex_);
    options_[handler] = std::move(options);
    ++generation_[handler];
    for (auto it = answers_.begin(); it != answers_.end();)
        it = std::get<0>(it->first) == handler ? answers_.erase(it) : std::next(it);
}

bool CompressorRegistry::Query(const CatalogEntry& entry, const BitmapInfoHeader& format) {
    const std::optional<DibLayout> layout = DescribeDib(format);
    if (!layout) return false;
    if (const screencodecs::ScreenCodec* own = OwnEncoderOf(entry))
        return layout->width % own->sizeMultiple == 0 && layout->height % own->sizeMultiple == 0 &&
               EncoderInputFormat(entry, layout->pixelFormat) != AV_PIX_FMT_NONE;
    const QueryKey key{entry.handler, layout->width, layout->height, static_cast<std::uint16_t>(layout->bits)};
    unsigned generation;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = answers_.find(key); it != answers_.end()) return it->second;
        generation = generation_[entry.handler];
    }
    // Opened without the lock: an x264 probe at a large size takes a while and other queries need not wait.
    EncoderParams params;
    params.width = layout->width;
    params.height = layout->height;
    params.source = layout->pixelFormat;
    params.probe = true;
    OpenedEncoder opened;
    const bool accepted = Open(entry, params, opened) >= 0;
    std::lock_guard lock(mutex_);
    if (generation_[entry.handler] == generation) answers_[key] = accepted;  // else options changed meanwhile
    return accepted;
}

int CompressorRegistry::Open(const CatalogEntry& entry, const EncoderParams& params, OpenedEncoder& out) const {
    return OpenEncoder(entry, params, Options(entry.handler), out);
}

}  // namespace tolm::ffmpeg
