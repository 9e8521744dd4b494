#include "platform/ffmpeg/ExtraData.h"

#include <cstring>

extern "C" {
#include <libavcodec/bsf.h>
}

namespace tolm::ffmpeg {
namespace {

struct BsfFree {
    void operator()(AVBSFContext* p) const noexcept { av_bsf_free(&p); }
};
using AvBsfPtr = std::unique_ptr<AVBSFContext, BsfFree>;

bool Handles(const AVBitStreamFilter& filter, AVCodecID codec) {
    for (const AVCodecID* id = filter.codec_ids; id && *id != AV_CODEC_ID_NONE; ++id)
        if (*id == codec) return true;
    return false;
}

}  // namespace

AviResult ExtraDataFromFrame(AVCodecParameters& par, const std::uint8_t* frame, std::size_t size) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
    if (par.extradata_size > 0 || !frame || size == 0 || !filter || !Handles(*filter, par.codec_id)) return AVIERR_OK;
    AVBSFContext* raw = nullptr;
    if (av_bsf_alloc(filter, &raw) < 0) return AVIERR_MEMORY;
    AvBsfPtr bsf(raw);
    AvPacketPtr packet(av_packet_alloc());
    if (!packet || avcodec_parameters_copy(bsf->par_in, &par) < 0 || av_bsf_init(bsf.get()) < 0 ||
        av_new_packet(packet.get(), static_cast<int>(size)) < 0)
        return AVIERR_MEMORY;
    std::memcpy(packet->data, frame, size);
    if (av_bsf_send_packet(bsf.get(), packet.get()) < 0 || av_bsf_receive_packet(bsf.get(), packet.get()) < 0)
        return AVIERR_BADFORMAT;
    std::size_t extraSize = 0;
    const std::uint8_t* extra = av_packet_get_side_data(packet.get(), AV_PKT_DATA_NEW_EXTRADATA, &extraSize);
    if (!extra || extraSize == 0) return AVIERR_OK;
    auto* copy = static_cast<std::uint8_t*>(av_mallocz(extraSize + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!copy) return AVIERR_MEMORY;
    std::memcpy(copy, extra, extraSize);
    av_freep(&par.extradata);
    par.extradata = copy;
    par.extradata_size = static_cast<int>(extraSize);
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg
