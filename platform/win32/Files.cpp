#include "platform/Files.h"

#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "imaging/Utf8Path.h"
#include "platform/win32/InstanceLocks.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Paths.h"

namespace tolm {
namespace {

constexpr const char* kFolderName = "TOLM Screen Capture";
constexpr const char* kInstancePrefix = "instance-";

std::string Environment(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    return value ? ToUtf8(value) : std::string();
}

std::string KnownFolder(const KNOWNFOLDERID& id) {
    wchar_t* raw = nullptr;
    const bool found = SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &raw)) && raw;
    const std::string folder = found ? ToUtf8(raw) : std::string();
    ::CoTaskMemFree(raw);
    return folder;
}

// %LOCALAPPDATA%: the user's own data on this machine, never roamed to others, open to nobody else.
std::string LocalAppData() {
    const std::string variable = Environment(L"LOCALAPPDATA");
    return Slashed(IsAbsolute(variable) ? variable : KnownFolder(FOLDERID_LocalAppData));
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(ToWide(path).c_str());
}

bool MakeFolder(const std::string& path, std::string& error) {
    if (::CreateDirectoryW(ToWide(path).c_str(), nullptr) || DirectoryExists(path)) return true;
    error = "Cannot create the folder " + path + ": " + SystemMessage(::GetLastError());
    return false;
}

// Below the user's profile, which only the user may enter, a folder of ours is reached by nobody else; a link
// there could still lead our files elsewhere.
bool CheckOwnFolder(const std::string& path, std::string& error) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = "Cannot use the folder " + path + ": " + SystemMessage(::GetLastError());
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = "The folder " + path + " is not a private folder of this user (a link or a file); remove it.";
        return false;
    }
    return true;
}

}  // namespace

std::string UserFolder(const char* variable, const char* belowHome) {
    const std::string folder = Environment(ToWide(variable).c_str());
    if (IsAbsolute(folder)) return Slashed(folder);
    const std::string home = KnownFolder(FOLDERID_Profile);
    return home.empty() ? std::string() : Slashed(home) + "/" + belowHome;
}

bool MakeFolders(const std::string& path, std::string& error) {
    if (path.empty()) return false;
    for (std::size_t end = path.find_first_of("/\\", RootLength(path));; end = path.find_first_of("/\\", end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && !IsSeparator(part.back()) && !MakeFolder(part, error)) return false;
        if (end == std::string::npos) return true;
    }
}

bool WritePrivateFile(const std::string& file, const std::string& text, std::string& error) {
    const std::string temporary = file + ".new";
    ::DeleteFileW(ToWide(temporary).c_str());
    bool written = false;
    {
        const UniqueHandle out = FileHandle(::CreateFileW(ToWide(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        written = out != nullptr;
        for (std::size_t done = 0; written && done < text.size();) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
            DWORD n = 0;
            written = ::WriteFile(out.get(), text.data() + done, chunk, &n, nullptr) && n > 0;
            done += n;
        }
        written = written && ::FlushFileBuffers(out.get());
    }
    const int failure = written ? RenameReplacing(temporary, file) : 0;
    if (!written || failure != 0) {
        error = "Cannot write " + file + ": " + SystemMessage(::GetLastError());
        ::DeleteFileW(ToWide(temporary).c_str());
        return false;
    }
    return true;
}

std::string PrivateTempFolder(std::string& error) {
    const std::string base = LocalAppData();
    if (base.empty()) {
        error = "Cannot find the folder of this user's local application data.";
        return {};
    }
    const std::string folder = base + "/" + kFolderName;
    if (!MakeFolders(folder, error) || !CheckOwnFolder(folder, error)) return {};
    return folder;
}

std::string InstanceTempFolder(std::string& error) {
    const std::string base = PrivateTempFolder(error);
    if (base.empty()) return {};
    if (ClaimFolderLock(base)) return base;
    // The folder of a killed recorder whose number this process has now may be claimed by a process looking at
    // what it left: a name of its own then.
    for (int n = 1; n <= 100; ++n) {
        std::string own = base + "/" + kInstancePrefix + std::to_string(::GetCurrentProcessId());
        if (n > 1) own.append("-").append(std::to_string(n));
        if (!MakeFolder(own, error) || !CheckOwnFolder(own, error)) return {};
        if (ClaimFolderLock(own)) return own;
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
    for (std::filesystem::directory_iterator it(Utf8Path(base), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8Name(it->path().filename());
        const std::string folder = base + "/" + name;
        if (name.rfind(kInstancePrefix, 0) != 0 || folder == own) continue;
        if (CheckOwnFolder(folder, problem) && ClaimFolderLock(folder)) abandoned.push_back(folder);
    }
    return abandoned;
}

// No version for Windows kept its temporary files anywhere else.
std::string FormerTempFolder() {
    return {};
}

void ReleaseClaimedTempFolder(const std::string& folder) {
    // Anything in it may be part of a recording. The lock lives apart from the folder, so the folder goes first,
    // and no other recorder claims it meanwhile.
    std::error_code ec;
    if (std::filesystem::directory_iterator(Utf8Path(folder), ec) != std::filesystem::directory_iterator() || ec)
        return;
    ::RemoveDirectoryW(ToWide(folder).c_str());
    GiveUpFolderLock(folder);
}

bool FileExists(const std::string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> FreeDiskBytes(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(ToWide(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

// Windows sets no file size limit on a process.
std::optional<std::uint64_t> FileSizeLimitBytes() {
    return std::nullopt;
}

bool FolderWritable(const std::string& folder, std::string& problem) {
    const std::wstring probe = ToWide(folder + "/.tolm-write-check-" + std::to_string(::GetCurrentProcessId()));
    auto create = [&] {
        return FileHandle(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    };
    UniqueHandle file = create();
    // Left by a process of the same number that died between the two steps.
    if (!file && ::GetLastError() == ERROR_FILE_EXISTS && ::DeleteFileW(probe.c_str())) file = create();
    if (!file) {
        problem = SystemMessage(::GetLastError());
        return false;
    }
    return true;
}

// In use: open elsewhere at all, which an open that shares nothing finds out. Anything but a file on a disk
// counts as in use and is not opened: a device or a pipe may act on an open.
bool FileInUse(const std::string& path) {
    const PathKind kind = KindOf(path);
    if (kind != PathKind::file) return kind != PathKind::missing;
    const UniqueHandle file = FileHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) return ::GetFileType(file.get()) != FILE_TYPE_DISK;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// Windows programs hold a file by opening it without sharing it, or by locking its bytes. Anything but a file
// on a disk is not opened, and not counted as locked.
bool FileLocked(const std::string& path) {
    if (KindOf(path) != PathKind::file) return false;
    const UniqueHandle file = FileHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    OVERLAPPED whole{};
    if (::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
        return false;
    }
    return ::GetLastError() == ERROR_LOCK_VIOLATION;
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileW(ToWide(path).c_str());
}

int CreateNewFile(const std::string& path) {
    // CREATE_NEW fails on any name that exists, a link included.
    const UniqueHandle file =
        FileHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : ErrnoOf(::GetLastError());
}

int RenameReplacing(const std::string& from, const std::string& to) {
    if (::MoveFileExW(ToWide(from).c_str(), ToWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return ErrnoOf(::GetLastError());
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    const std::size_t root = RootLength(path);
    return slash < root ? path.substr(0, root) : path.substr(0, slash);
}

bool IsAbsolutePath(const std::string& path) {
    return IsAbsolute(path);
}

std::string AbsolutePath(const std::string& path) {
    const std::string full = FullPath(path);
    return full.empty() ? path : full;
}

}  // namespace tolm
