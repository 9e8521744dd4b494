#include "imaging/BmpFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "imaging/Utf8Path.h"

namespace tolm {
namespace {

void Put(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool WriteBmpFile(const std::string& path, const PackedDib& dib, std::string& error) {
    constexpr std::size_t kFileHeader = 14;
    std::uint8_t header[kFileHeader] = {'B', 'M'};
    Put(header + 2, static_cast<std::uint32_t>(kFileHeader + dib.Size()), 4);
    Put(header + 10, static_cast<std::uint32_t>(kFileHeader + dib.FormatSize()), 4);

    errno = 0;
    std::ofstream file(Utf8Path(path), std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "Cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    file.write(reinterpret_cast<const char*>(header), kFileHeader);
    file.write(reinterpret_cast<const char*>(dib.Data()), static_cast<std::streamsize>(dib.Size()));
    file.close();
    if (!file) {
        error = "Cannot write " + path + ": " + std::strerror(errno);
        std::error_code ignored;
        std::filesystem::remove(Utf8Path(path), ignored);
        return false;
    }
    return true;
}

}  // namespace tolm
