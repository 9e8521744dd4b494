#include "platform/PartFiles.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/Files.h"
#include "platform/PartFileNames.h"

namespace tolm {
namespace {

// Where the notes of running saves lie: one link per part file, named by its suffix; "" when there is no
// private folder (a save then goes without its note).
std::string NotesFolder(bool create) {
    std::string error;
    const std::string base = PrivateTempFolder(error);
    if (base.empty()) return {};
    const std::string folder = base + "/" + kPartNotesFolder;
    if (create) ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? folder : std::string();
}

// Whether `path` is a part file's name with the suffix `suffix`: no other name is taken for one of ours.
bool IsPartName(const std::string& path, const std::string& suffix) {
    return !path.empty() && path[0] == '/' && EndsWithPartSuffix(path, suffix);
}

std::string ReadNote(const std::string& note) {
    char target[4096];
    const ssize_t n = ::readlink(note.c_str(), target, sizeof target);
    return n > 0 && static_cast<std::size_t>(n) < sizeof target ? std::string(target, static_cast<std::size_t>(n))
                                                                : std::string();
}

std::string KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

// The attributes that keep a file from being replaced, asked without waiting on anything.
std::string AttributeProblem(const std::string& output) {
    const int fd = ::open(output.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {};  // not readable: the rename will tell
    struct stat st {};
    int flags = 0;
    const bool asked = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(fd);
    if (!asked) return {};
    if (flags & FS_IMMUTABLE_FL) return "it is marked immutable";
    if (flags & FS_APPEND_FL) return "it is marked append-only";
    return {};
}

}  // namespace

void PartFile::Release() {
    if (!note_.empty()) ::unlink(note_.c_str());
    note_.clear();
    if (lock_ >= 0) ::close(static_cast<int>(lock_));
    lock_ = -1;
}

int PartFile::Create(const std::string& output) {
    if (output.empty() || !path_.empty()) return EINVAL;
    const std::string notes = NotesFolder(true);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string suffix = RandomPartSuffix();
        const std::string candidate = output + kPartInfix + suffix;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return errno;
        // Held until the file is gone or is the output: the next start leaves a locked part file alone.
        ::flock(fd, LOCK_EX | LOCK_NB);
        std::error_code ec;
        const std::string absolute = std::filesystem::absolute(candidate, ec).lexically_normal().string();
        std::string note = notes.empty() || ec ? std::string() : notes + "/" + suffix;
        if (!note.empty() && ::symlink(absolute.c_str(), note.c_str()) != 0) {
            if (errno == EEXIST) {  // the suffix is taken by a part file in another folder
                ::close(fd);
                ::unlink(candidate.c_str());
                continue;
            }
            note.clear();  // the save matters more than finding its remains
        }
        output_ = output;
        path_ = candidate;
        note_ = note;
        lock_ = fd;
        return 0;
    }
    return EEXIST;
}

std::string OutputFileProblem(const std::string& output) {
    const std::size_t slash = output.find_last_of('/');
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : output.substr(0, slash);
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = 255;
    if (name.size() + PartFile::kExtraNameBytes > static_cast<std::size_t>(nameMax))
        return "its name of " + std::to_string(name.size()) +
               " bytes is too long: a save first writes it with .part-XXXXXXXX added, which passes the " +
               std::to_string(nameMax) + " bytes a name may have here";
    struct stat st {};
    if (::lstat(output.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (!S_ISREG(st.st_mode)) return "it is " + KindOf(st.st_mode) + ", not a regular file";
    struct stat dir {};
    const uid_t self = ::geteuid();
    if (self != 0 && st.st_uid != self && ::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) &&
        dir.st_uid != self)
        return "it belongs to another user, in a folder where only a file's owner may replace it";
    return AttributeProblem(output);
}

std::vector<InterruptedPart> InterruptedParts() {
    std::vector<InterruptedPart> parts;
    const std::string notes = NotesFolder(false);
    if (notes.empty()) return parts;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(notes, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string note = it->path().string();
        const std::string part = ReadNote(note);
        struct stat st {};
        if (!IsPartName(part, it->path().filename().string()) || ::lstat(part.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
            // Gone, or not a file of ours any more: the note has nothing left to say.
            ::unlink(note.c_str());
            continue;
        }
        if (!FileInUse(part)) parts.push_back({part, static_cast<std::uint64_t>(st.st_size)});
    }
    return parts;
}

void ForgetInterruptedPart(const std::string& path, bool remove) {
    const std::string notes = NotesFolder(false);
    if (notes.empty() || path.size() < kPartSuffixBytes) return;
    const std::string note = notes + "/" + path.substr(path.size() - kPartSuffixBytes);
    if (ReadNote(note) != path) return;
    struct stat st {};
    if (remove && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !FileInUse(path)) ::unlink(path.c_str());
    ::unlink(note.c_str());
}

}  // namespace tolm
