#include "imaging/BmpFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tolm {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

void Put(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool WriteBmpFile(const std::string& path, const PackedDib& dib, std::string& error) {
    constexpr std::size_t kFileHeader = 14;
    std::uint8_t header[kFileHeader] = {'B', 'M'};
    Put(header + 2, static_cast<std::uint32_t>(kFileHeader + dib.Size()), 4);
    Put(header + 10, static_cast<std::uint32_t>(kFileHeader + dib.FormatSize()), 4);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "Cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(header, 1, kFileHeader, file.get()) == kFileHeader &&
              std::fwrite(dib.Data(), 1, dib.Size(), file.get()) == dib.Size();
    const int writeErrno = errno;
    ok = (std::fclose(file.release()) == 0) && ok;
    if (!ok) {
        error = "Cannot write " + path + ": " + std::strerror(writeErrno ? writeErrno : errno);
        std::remove(path.c_str());
    }
    return ok;
}

}  // namespace tolm
