#include "platform/portal/StreamParams.h"

#include <spa/buffer/buffer.h>
#include <spa/buffer/meta.h>
#include <spa/param/buffers.h>
#include <spa/param/format.h>
#include <spa/param/param.h>
#include <spa/param/video/format.h>
#include <spa/pod/builder.h>

#include <cstdint>

#include "platform/portal/PixelLayouts.h"

namespace tolm::portal {

namespace {

constexpr int PointerMetaSize(int width, int height) {
    return static_cast<int>(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) + width * height * 4;
}

}  // namespace

const spa_pod* BuildFormatParam(spa_pod_builder* builder) {
    const std::uint32_t* formats = OfferedFormats();
    const spa_rectangle defaultSize{1920, 1080};
    const spa_rectangle minSize{1, 1};
    const spa_rectangle maxSize{16384, 16384};
    const spa_fraction variableRate{0, 1};
    const spa_fraction defaultMaxRate{60, 1};
    const spa_fraction minMaxRate{1, 1};
    const spa_fraction maxMaxRate{120, 1};
    return static_cast<const spa_pod*>(spa_pod_builder_add_object(
        builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(kOfferedFormatCount + 1, formats[0], formats[0], formats[1], formats[2], formats[3],
                               formats[4], formats[5], formats[6], formats[7]),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&variableRate), SPA_FORMAT_VIDEO_maxFramerate,
        SPA_POD_CHOICE_RANGE_Fraction(&defaultMaxRate, &minMaxRate, &maxMaxRate)));
}

int BuildBufferParams(spa_pod_builder* builder, bool pointerMetadata, const spa_pod* params[3]) {
    int count = 0;
    params[count++] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
                                   SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
        SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    if (pointerMetadata) {
        params[count++] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor),
            SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(PointerMetaSize(64, 64), PointerMetaSize(1, 1), PointerMetaSize(256, 256))));
    }
    return count;
}

}  // namespace tolm::portal
