// What the part files of every system share; the systems' own halves lie in posix/ and win32/.
#include "platform/PartFiles.h"

#include <cerrno>
#include <random>

#include "platform/Files.h"
#include "platform/PartFileNames.h"

namespace tolm {

std::string RandomPartSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string suffix;
    for (std::size_t i = 0; i < kPartSuffixBytes; ++i) suffix += kChars[pick(generator)];
    return suffix;
}

bool EndsWithPartSuffix(const std::string& path, const std::string& suffix) {
    if (suffix.size() != kPartSuffixBytes) return false;
    for (char c : suffix)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    const std::string ending = kPartInfix + suffix;
    return path.size() > ending.size() + 1 && path.compare(path.size() - ending.size(), ending.size(), ending) == 0;
}

PartFile::~PartFile() {
    // A file still open on Windows goes once Release closes it.
    if (!committed_ && !path_.empty()) RemoveFile(path_);
    Release();
}

int PartFile::Commit() {
    if (path_.empty() || committed_) return EINVAL;
    if (const int error = RenameReplacing(path_, output_); error != 0) return error;
    committed_ = true;
    Release();
    return 0;
}

}  // namespace tolm
