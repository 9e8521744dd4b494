#include "platform/portal/RestoreToken.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tolm::portal {

namespace {

// A token is a short line of printable characters; anything else was not written by us.
constexpr std::size_t kMaxTokenBytes = 1024;

bool LooksLikeToken(const std::string& token) {
    if (token.empty() || token.size() > kMaxTokenBytes) return false;
    for (const char c : token) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

// Makes every missing folder of `folder` with mode 0700.
bool MakeFolders(const std::string& folder, std::string& problem) {
    std::size_t slash = 0;
    do {
        slash = folder.find('/', slash + 1);
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "Could not make the folder " + part + ": " + std::strerror(errno) + ".";
            return false;
        }
    } while (slash != std::string::npos);
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string DefaultRestoreTokenFile() {
    std::string state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
        state = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        state = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return state + "/tolm-screen-capture/portal-restore-token";
}

std::string ReadRestoreToken(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string token;
    std::getline(in, token);
    return LooksLikeToken(token) ? token : std::string();
}

bool WriteRestoreToken(const std::string& file, const std::string& token, std::string& problem) {
    if (!LooksLikeToken(token)) {
        problem = "The desktop handed out a restore token that cannot be kept.";
        return false;
    }
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(file.substr(0, slash), problem)) return false;
    const std::string temporary = file + ".new";
    unlink(temporary.c_str());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        problem = "Could not write " + temporary + ": " + std::strerror(errno) + ".";
        return false;
    }
    const bool written = WriteAll(fd, token + "\n") && fsync(fd) == 0;
    const int savedErrno = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), file.c_str()) != 0) {
        problem = "Could not write " + file + ": " + std::strerror(written ? errno : savedErrno) + ".";
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace tolm::portal
