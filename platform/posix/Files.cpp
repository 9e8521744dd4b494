#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace tolm {
namespace {

constexpr const char* kFolderName = "tolm-screen-capture";
constexpr const char* kInstanceLock = "instance.lock";
constexpr const char* kInstancePrefix = "instance-";

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

bool CheckOwnFolder(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = "Cannot use the folder " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        error =
            "The folder " + path + " is not a private folder of this user; remove it or fix its owner and mode (0700).";
        return false;
    }
    return true;
}

// The instance locks of the temporary folders this process claimed. Held for the whole life of the process
// unless given up; the system drops them when the process ends, however it ends.
class FolderLocks {
  public:
    // Whether this process holds the folder's lock, taken now if another process no longer holds it.
    bool Claim(const std::string& folder) {
        std::lock_guard lock(mutex_);
        if (const auto it = locks_.find(folder); it != locks_.end()) return true;
        const int fd = ::open((folder + "/" + kInstanceLock).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        locks_.emplace(folder, fd);
        return true;
    }
    void GiveUp(const std::string& folder) {
        std::lock_guard lock(mutex_);
        const auto it = locks_.find(folder);
        if (it == locks_.end()) return;
        ::close(it->second);
        locks_.erase(it);
    }

  private:
    std::mutex mutex_;
    std::map<std::string, int> locks_;  // folder -> lock descriptor
};

FolderLocks& Locks() {
    static FolderLocks locks;
    return locks;
}

// Where the temporary files were kept before they moved to the cache folder: the runtime folder, a small
// tmpfs that is wiped at logout.
std::string RuntimeTempFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && DirectoryExists(runtime))
        return std::string(runtime) + "/" + kFolderName;
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + kFolderName + "-" + std::to_string(::getuid());
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

}  // namespace

std::string UserFolder(const char* variable, const char* belowHome) {
    if (const char* folder = std::getenv(variable); folder && folder[0] == '/') return folder;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + belowHome;
}

bool MakeFolders(const std::string& path, std::string& error) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST && !DirectoryExists(part)) {
            error = "Cannot create the folder " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

bool WritePrivateFile(const std::string& file, const std::string& text, std::string& error) {
    const std::string temporary = file + ".new";
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "Cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    written = written && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        error = "Cannot write " + file + ": " + std::strerror(written ? errno : writeErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string PrivateTempFolder(std::string& error) {
    const std::string cache = UserFolder("XDG_CACHE_HOME", ".cache");
    // Without a home folder there is no better place than the one of old.
    const std::string base = cache.empty() ? RuntimeTempFolder() : cache + "/" + kFolderName;
    if (!cache.empty() && !MakeFolders(cache, error)) return {};
    if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "Cannot create the folder " + base + ": " + std::strerror(errno);
        return {};
    }
    if (!CheckOwnFolder(base, error)) return {};
    return base;
}

std::string InstanceTempFolder(std::string& error) {
    const std::string base = PrivateTempFolder(error);
    if (base.empty()) return {};
    if (Locks().Claim(base)) return base;
    // The folder of a killed recorder whose number this process has now may be claimed by a process looking at
    // what it left: a name of its own then.
    for (int n = 1; n <= 100; ++n) {
        std::string own = base + "/" + kInstancePrefix + std::to_string(::getpid());
        if (n > 1) own.append("-").append(std::to_string(n));
        if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "Cannot create the folder " + own + ": " + std::strerror(errno);
            return {};
        }
        if (!CheckOwnFolder(own, error)) return {};
        if (Locks().Claim(own)) return own;
    }
    error = "Cannot claim a folder of its own in " + base + ".";
    return {};
}

void ReleaseInstanceTempFolder(const std::string& folder) {
    if (folder.find(std::string("/") + kInstancePrefix) != std::string::npos) ReleaseClaimedTempFolder(folder);
}

std::vector<std::string> AbandonedTempFolders(const std::string& own) {
    std::vector<std::string> abandoned;
    std::string problem;
    const std::string base = PrivateTempFolder(problem);
    if (base.empty()) return abandoned;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string folder = it->path().string();
        if (it->path().filename().string().rfind(kInstancePrefix, 0) != 0 || folder == own) continue;
        if (CheckOwnFolder(folder, problem) && Locks().Claim(folder)) abandoned.push_back(folder);
    }
    return abandoned;
}

std::string FormerTempFolder() {
    const std::string former = RuntimeTempFolder();
    std::string problem;
    if (former == PrivateTempFolder(problem) || !FileExists(former) || !CheckOwnFolder(former, problem)) return {};
    return Locks().Claim(former) ? former : std::string();
}

void ReleaseClaimedTempFolder(const std::string& folder) {
    // Anything but its lock may be part of a recording, or belong to a program of an earlier version.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename() != kInstanceLock) return;
    if (ec) return;
    ::unlink((folder + "/" + kInstanceLock).c_str());
    Locks().GiveUp(folder);
    ::rmdir(folder.c_str());
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FreeDiskBytes(const std::string& folder) {
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::optional<std::uint64_t> FileSizeLimitBytes() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

bool FolderWritable(const std::string& folder, std::string& problem) {
    const std::string probe = folder + "/.tolm-write-check-" + std::to_string(::getpid());
    auto create = [&] { return ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); };
    int raw = create();
    // Left by a process of the same number that died between the two steps.
    if (raw < 0 && errno == EEXIST && ::unlink(probe.c_str()) == 0) raw = create();
    const FileDescriptor fd(raw);
    if (fd.Get() < 0) {
        problem = std::strerror(errno);
        return false;
    }
    ::unlink(probe.c_str());
    return true;
}

namespace {

// Only a regular file is opened, and without waiting: a FIFO's open waits for a writer, a device's may do
// anything. -1 with errno set otherwise.
int OpenRegularFile(const std::string& path, int flags) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return -1;
    if (S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return -1;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
        ::close(fd);
    }
    errno = EINVAL;
    return -1;
}

}  // namespace

bool FileInUse(const std::string& path) {
    const FileDescriptor fd(OpenRegularFile(path, O_RDWR));
    if (fd.Get() < 0) return errno != ENOENT;
    return ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0;
}

bool FileLocked(const std::string& path) {
    const FileDescriptor fd(OpenRegularFile(path, O_RDONLY));
    if (fd.Get() < 0) return false;
    return ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

int CreateNewFile(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    return fd.Get() >= 0 ? 0 : errno;
}

int RenameReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    // The rename is on disk once the folder that holds the name is.
    const std::string folder = FolderOf(to);
    const FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) ::fsync(fd.Get());
    return 0;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace tolm
