#include "platform/StdioFile.h"

#include <sys/types.h>

namespace tolm {

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool SeekStdioFile(std::FILE* file, std::uint64_t position) {
    static_assert(sizeof(off_t) == 8, "64-bit file offsets");
    return ::fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

std::optional<std::uint64_t> StdioFileSize(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
    const off_t end = ::ftello(file);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

}  // namespace tolm
