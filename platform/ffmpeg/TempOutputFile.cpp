#include "platform/ffmpeg/TempOutputFile.h"

#include <cerrno>
#include <random>

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

std::string RandomSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string suffix;
    for (int i = 0; i < 8; ++i) suffix += kChars[pick(generator)];
    return suffix;
}

}  // namespace

TempOutputFile::~TempOutputFile() {
    if (!committed_ && !path_.empty()) RemoveFile(path_);
}

AviResult TempOutputFile::Reserve(const std::string& target) {
    if (target.empty()) return AVIERR_BADPARAM;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = target + ".part-" + RandomSuffix();
        if (const int error = CreateNewFile(candidate); error != 0) {
            if (error == EEXIST) continue;
            return FromErrno(error);
        }
        target_ = target;
        path_ = candidate;
        return AVIERR_OK;
    }
    return AVIERR_FILEOPEN;
}

AviResult MoveIntoPlace(const std::string& from, const std::string& target) {
    if (from.empty() || target.empty()) return AVIERR_BADPARAM;
    const int error = RenameReplacing(from, target);
    if (error == 0) return AVIERR_OK;
    return error == EXDEV ? AVIERR_UNSUPPORTED : FromErrno(error);
}

AviResult TempOutputFile::Commit() {
    if (path_.empty()) return AVIERR_BADHANDLE;
    if (const int error = RenameReplacing(path_, target_); error != 0)
        return error == EROFS ? AVIERR_READONLY : AVIERR_FILEWRITE;
    committed_ = true;
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg
