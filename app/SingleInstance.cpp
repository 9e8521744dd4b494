#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tolm {
namespace {

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A folder only this user can reach, so nobody else can hold or plant our lock.
bool PrivateFolder(const std::string& folder, std::string& error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Cannot create the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        error = "Cannot use the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        error = "The folder " + folder + " is not a private folder of this user.";
        return false;
    }
    return true;
}

std::string DefaultLockFolder(std::string& error) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
    // Where the session's runtime folder usually is, so a start without the variable still finds the lock.
    const std::string session = "/run/user/" + std::to_string(::getuid());
    std::string ignored;
    if (::stat(session.c_str(), &st) == 0 && PrivateFolder(session, ignored)) return session;
    const std::string folder = "/tmp/tolm-" + std::to_string(::getuid());
    return PrivateFolder(folder, error) ? folder : std::string();
}

}  // namespace

std::string InstanceLockName(const std::string& programPath) {
    std::string name = FileNameOf(programPath);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::string DefaultApplicationTitle(const std::string& programPath) {
    std::string title = FileNameOf(programPath);
    title = title.substr(0, title.find('.'));
    for (std::size_t i = 1; i < title.size(); ++i)
        title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
    return title;
}

std::string RunningProgramPath(const std::string& fallback) {
    std::vector<char> path(4096);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : fallback;
}

TSingleInstance::TSingleInstance(const std::string& name, const std::string& folder) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        error_ = "\"" + name + "\" cannot name a lock file.";
        return;
    }
    const std::string dir = folder.empty() ? DefaultLockFolder(error_) : folder;
    if (dir.empty()) return;
    const std::string file = dir + "/" + name + ".lock";
    // Never through a link: a planted link must not make us create or lock another file.
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = "Cannot open the lock file " + file + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        result_ = Result::owned;
        return;
    }
    const int code = errno;
    ::close(fd_);
    fd_ = -1;
    if (code == EWOULDBLOCK) {
        result_ = Result::heldElsewhere;
    } else {
        error_ = "Cannot lock " + file + ": " + std::strerror(code);
    }
}

TSingleInstance::~TSingleInstance() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace tolm
