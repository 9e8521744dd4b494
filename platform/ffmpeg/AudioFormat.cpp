#include "platform/ffmpeg/AudioFormat.h"

#include <cstring>
#include <limits>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "imaging/LittleEndian.h"
#include "platform/WaveTypes.h"

namespace tolm::ffmpeg {
namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

AVCodecID PcmCodec(std::uint16_t tag, int bits) {
    if (tag == kTagPcm) {
        switch (bits) {
            case 8:
                return AV_CODEC_ID_PCM_U8;
            case 16:
                return AV_CODEC_ID_PCM_S16LE;
            case 24:
                return AV_CODEC_ID_PCM_S24LE;
            case 32:
                return AV_CODEC_ID_PCM_S32LE;
            default:
                return AV_CODEC_ID_NONE;
        }
    }
    if (tag == kTagFloat)
        return bits == 32 ? AV_CODEC_ID_PCM_F32LE : bits == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_NONE;
    const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tags, tag);
}

std::uint16_t TagOf(const AVCodecParameters& par) {
    switch (par.codec_id) {
        case AV_CODEC_ID_PCM_U8:
        case AV_CODEC_ID_PCM_S16LE:
        case AV_CODEC_ID_PCM_S24LE:
        case AV_CODEC_ID_PCM_S32LE:
            return kTagPcm;
        case AV_CODEC_ID_PCM_F32LE:
        case AV_CODEC_ID_PCM_F64LE:
            return kTagFloat;
        default:
            break;
    }
    if (par.codec_tag && par.codec_tag != kTagExtensible) return static_cast<std::uint16_t>(par.codec_tag);
    const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    return static_cast<std::uint16_t>(av_codec_get_tag(tags, par.codec_id));
}

}  // namespace

AviResult AudioParametersFromFormat(const std::uint8_t* format, std::size_t size, AVCodecParameters& par) {
    if (!format || size < 16) return AVIERR_BADFORMAT;
    std::uint16_t tag = GetLE16(format);
    const int channels = GetLE16(format + 2);
    const std::uint32_t rate = GetLE32(format + 4);
    const std::uint32_t bytesPerSecond = GetLE32(format + 8);
    const int blockAlign = GetLE16(format + 12);
    const int bits = GetLE16(format + 14);
    if (channels == 0 || rate == 0 || rate > static_cast<std::uint32_t>(std::numeric_limits<int>::max()) ||
        blockAlign == 0)
        return AVIERR_BADFORMAT;
    std::size_t extraSize = 0;
    const std::uint8_t* extra = nullptr;
    if (size >= kWaveFormatExSize) {
        extraSize = GetLE16(format + 16);
        if (kWaveFormatExSize + extraSize > size) return AVIERR_BADFORMAT;
        extra = format + kWaveFormatExSize;
    }
    if (tag == kTagExtensible) {
        // The sub-format's GUID starts with the plain format tag.
        if (extraSize < 22) return AVIERR_BADFORMAT;
        tag = GetLE16(extra + 6);
        extraSize = 0;
    }
    const AVCodecID id = PcmCodec(tag, bits);
    if (id == AV_CODEC_ID_NONE) return AVIERR_UNSUPPORTED;

    par.codec_type = AVMEDIA_TYPE_AUDIO;
    par.codec_id = id;
    par.codec_tag = tag;
    par.sample_rate = static_cast<int>(rate);
    av_channel_layout_uninit(&par.ch_layout);
    av_channel_layout_default(&par.ch_layout, channels);
    par.block_align = blockAlign;
    par.bits_per_coded_sample = bits;
    par.bit_rate = static_cast<std::int64_t>(bytesPerSecond) * 8;
    av_freep(&par.extradata);
    par.extradata_size = 0;
    if (extraSize) {
        par.extradata = static_cast<std::uint8_t*>(av_mallocz(extraSize + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par.extradata) return AVIERR_MEMORY;
        std::memcpy(par.extradata, extra, extraSize);
        par.extradata_size = static_cast<int>(extraSize);
    }
    return AVIERR_OK;
}

std::vector<std::uint8_t> AudioFormatFromParameters(const AVCodecParameters& par) {
    const std::uint16_t tag = TagOf(par);
    const bool plain = tag == kTagPcm || tag == kTagFloat;
    const std::size_t extraSize = plain || !par.extradata ? 0 : static_cast<std::size_t>(par.extradata_size);
    std::vector<std::uint8_t> bytes(kWaveFormatExSize + extraSize, 0);
    const int channels = par.ch_layout.nb_channels;
    const int bits = par.bits_per_coded_sample;
    int blockAlign = par.block_align;
    if (blockAlign <= 0 && plain) blockAlign = channels * bits / 8;
    std::int64_t bytesPerSecond = par.bit_rate / 8;
    if (plain) bytesPerSecond = static_cast<std::int64_t>(par.sample_rate) * blockAlign;
    PutLE16(bytes.data(), tag);
    PutLE16(bytes.data() + 2, static_cast<std::uint16_t>(channels));
    PutLE32(bytes.data() + 4, static_cast<std::uint32_t>(par.sample_rate));
    PutLE32(bytes.data() + 8, static_cast<std::uint32_t>(bytesPerSecond));
    PutLE16(bytes.data() + 12, static_cast<std::uint16_t>(blockAlign));
    PutLE16(bytes.data() + 14, static_cast<std::uint16_t>(bits));
    PutLE16(bytes.data() + 16, static_cast<std::uint16_t>(extraSize));
    if (extraSize) std::memcpy(bytes.data() + kWaveFormatExSize, par.extradata, extraSize);
    return bytes;
}

}  // namespace tolm::ffmpeg
