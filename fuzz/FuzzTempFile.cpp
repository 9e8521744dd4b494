#include "fuzz/FuzzTempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tolm::fuzz {
namespace {

[[noreturn]] void Die(const char* what, const std::string& path) {
    std::perror((std::string(what) + " " + path).c_str());
    std::abort();
}

}  // namespace

FuzzTempFile::FuzzTempFile(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolm-fuzz.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) Die("cannot make a private folder from", pattern);
    folder_ = buffer.data();
    path_ = folder_ + "/" + name;
}

FuzzTempFile::~FuzzTempFile() {
    Remove();
    ::rmdir(folder_.c_str());
}

void FuzzTempFile::Write(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Die("cannot write", path_);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            Die("cannot write", path_);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) Die("cannot close", path_);
}

void FuzzTempFile::Remove() {
    ::unlink(path_.c_str());
}

}  // namespace tolm::fuzz
