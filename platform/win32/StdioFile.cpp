#include "platform/StdioFile.h"

#include <cerrno>
#include <limits>

#include "platform/win32/WideText.h"

namespace tolm {

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
    return ::_wfopen(ToWide(path).c_str(), ToWide(mode).c_str());
}

bool SeekStdioFile(std::FILE* file, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(std::numeric_limits<__int64>::max())) {
        errno = EINVAL;
        return false;
    }
    return ::_fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

std::optional<std::uint64_t> StdioFileSize(std::FILE* file) {
    if (::_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
    const __int64 end = ::_ftelli64(file);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
}

}  // namespace tolm
