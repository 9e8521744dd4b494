#include "platform/ffmpeg/TempOutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

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
    if (!committed_ && !path_.empty()) ::unlink(path_.c_str());
}

AviResult TempOutputFile::Reserve(const std::string& target) {
    if (target.empty()) return AVIERR_BADPARAM;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = target + ".part-" + RandomSuffix();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return FromErrno(errno);
        }
        ::close(fd);
        target_ = target;
        path_ = candidate;
        return AVIERR_OK;
    }
    return AVIERR_FILEOPEN;
}

AviResult MoveIntoPlace(const std::string& from, const std::string& target) {
    if (from.empty() || target.empty()) return AVIERR_BADPARAM;
    if (std::rename(from.c_str(), target.c_str()) == 0) return AVIERR_OK;
    return errno == EXDEV ? AVIERR_UNSUPPORTED : FromErrno(errno);
}

AviResult TempOutputFile::Commit() {
    if (path_.empty()) return AVIERR_BADHANDLE;
    if (std::rename(path_.c_str(), target_.c_str()) != 0) return errno == EROFS ? AVIERR_READONLY : AVIERR_FILEWRITE;
    committed_ = true;
    return AVIERR_OK;
}

}  // namespace tolm::ffmpeg
