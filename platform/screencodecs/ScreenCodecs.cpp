#include "platform/screencodecs/ScreenCodecs.h"

#include <vector>

#include "platform/VideoTypes.h"
#include "platform/screencodecs/MsVideo1Encoder.h"
#include "platform/screencodecs/ZmbvEncoder.h"

namespace tolm::screencodecs {

const ScreenCodec* FindScreenCodec(std::uint32_t handler) {
    // One line per encoder: {code, input format, size multiple, header bit count, &Make<TheEncoder>}.
    static const std::vector<ScreenCodec> codecs = {
        {MakeFourCC('M', 'S', 'V', 'C'), InputFormat::bgr0, 4, 16, &Make<MsVideo1Encoder>},
        {MakeFourCC('Z', 'M', 'B', 'V'), InputFormat::bgr0, 1, 32, &Make<ZmbvEncoder>},
    };
    for (const ScreenCodec& codec : codecs)
        if (codec.handler == handler) return &codec;
    return nullptr;
}

}  // namespace tolm::screencodecs
