#include "platform/ffmpeg/TempOutputFile.h"

#include <cerrno>
#include <cstring>

#include "platform/Files.h"

namespace tolm::ffmpeg {
namespace {

AviResult FromErrno(int error) {
    switch (error) {
        case EROFS:
            return AVIERR_READONLY;
        case ENOSPC:
#ifdef EDQUOT  // no quota errors on Windows
        case EDQUOT:
#endif
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
    if (const std::string problem = OutputFileProblem(target); !problem.empty()) {
        problem_ = target + ": " + problem;
        return AVIERR_FILEOPEN;
    }
    if (const int error = part_.Create(target); error != 0) {
        problem_ = target + ": " + std::strerror(error);
        return FromErrno(error);
    }
    target_ = target;
    return AVIERR_OK;
}

AviResult MoveIntoPlace(const std::string& from, const std::string& target, std::string& problem) {
    if (from.empty() || target.empty()) return AVIERR_BADPARAM;
    if (problem = OutputFileProblem(target); !problem.empty()) {
        problem = target + ": " + problem;
        return AVIERR_FILEOPEN;
    }
    const int error = RenameReplacing(from, target);
    if (error == 0) return AVIERR_OK;
    problem = target + ": " + std::strerror(error);
    return error == EXDEV ? AVIERR_UNSUPPORTED : FromErrno(error);
}

AviResult TempOutputFile::Commit() {
    if (Path().empty()) return AVIERR_BADHANDLE;
    if (const int error = part_.Commit(); error != 0) {
        problem_ = target_ + ": " + std::strerror(error);
        return error == EROFS ? AVIERR_READONLY : AVIERR_FILEWRITE;
    }
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg
