#include "platform/ffmpeg/TempOutputFile.h"

#include <cerrno>
#include <cstdio>

namespace tolm::ffmpeg {
namespace {

AviResult FromErrno(int error) {
    switch (error) {
        case EROFS:
            return AVIERR_READONLY;
        case ENOSPC:
        case EDQUOT:
            return AVIERR_FILEWRITE;
        case ENOMEM:
            return AVIERR_MEMORY;
        default:
            return AVIERR_FILEOPEN;
    }
}

}  // namespace

AviResult TempOutputFile::Reserve(const std::string& target) {
    if (target.empty()) return AVIERR_BADPARAM;
    // Found now rather than by the rename, after the whole file was written.
    if (!OutputFileProblem(target).empty()) return AVIERR_FILEOPEN;
    if (const int error = part_.Create(target); error != 0) return FromErrno(error);
    target_ = target;
    return AVIERR_OK;
}

AviResult MoveIntoPlace(const std::string& from, const std::string& target) {
    if (from.empty() || target.empty()) return AVIERR_BADPARAM;
    if (!OutputFileProblem(target).empty()) return AVIERR_FILEOPEN;
    if (std::rename(from.c_str(), target.c_str()) == 0) return AVIERR_OK;
    return errno == EXDEV ? AVIERR_UNSUPPORTED : FromErrno(errno);
}

AviResult TempOutputFile::Commit() {
    if (Path().empty()) return AVIERR_BADHANDLE;
    if (const int error = part_.Commit(); error != 0) return error == EROFS ? AVIERR_READONLY : AVIERR_FILEWRITE;
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg
