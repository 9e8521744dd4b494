#include "platform/ffmpeg/FfmpegErrors.h"

#include <cerrno>
#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace tolm::ffmpeg {
namespace {

thread_local int quietDepth = 0;

void FilteredLog(void* avcl, int level, const char* fmt, va_list args) {
    if (quietDepth > 0) return;
    av_log_default_callback(avcl, level, fmt, args);
}

}  // namespace

std::string AvErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

AviResult ToAviResult(int error, AviResult fallback) {
    if (error >= 0) return AVIERR_OK;
    switch (error) {
        case AVERROR(ENOENT):
        case AVERROR(EACCES):
        case AVERROR(EPERM):
        case AVERROR(EISDIR):
        case AVERROR(ENOTDIR):
        case AVERROR(ENAMETOOLONG):
        case AVERROR(ELOOP):
        case AVERROR(EEXIST):
        case AVERROR(EMFILE):
        case AVERROR(ENFILE):
        case AVERROR(ENXIO):
            return AVIERR_FILEOPEN;
        case AVERROR(EROFS):
            return AVIERR_READONLY;
        case AVERROR(ENOMEM):
            return AVIERR_MEMORY;
        case AVERROR(ENOSPC):
        case AVERROR(EFBIG):
#ifdef EDQUOT  // no quota errors on Windows
        case AVERROR(EDQUOT):
#endif
            return AVIERR_FILEWRITE;
        case AVERROR_INVALIDDATA:
            return AVIERR_BADFORMAT;
        case AVERROR_EOF:
            return AVIERR_NODATA;
        case AVERROR_ENCODER_NOT_FOUND:
        case AVERROR_DECODER_NOT_FOUND:
            return AVIERR_NOCOMPRESSOR;
        case AVERROR_EXIT:
            return AVIERR_USERABORT;
        case AVERROR_PATCHWELCOME:
        case AVERROR(ENOSYS):
            return AVIERR_UNSUPPORTED;
        default:
            return fallback;
    }
}

void InstallLogFilter() {
    static std::once_flag once;
    std::call_once(once, [] {
        // x264's statistics and the probes' complaints are noise for a recorder; a level someone chose
        // before us stays.
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(FilteredLog);
    });
}

QuietLog::QuietLog() {
    ++quietDepth;
}
QuietLog::~QuietLog() {
    --quietDepth;
}

bool DictSet(AvDictionaryPtr& dict, const char* key, const std::string& value) {
    AVDictionary* raw = dict.release();
    const int rc = av_dict_set(&raw, key, value.c_str(), 0);
    dict.reset(raw);
    return rc >= 0;
}

}  // namespace tolm::ffmpeg
