#include "platform/Files.h"

#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>

#include "platform/win32/SystemErrors.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"

namespace tolm {
namespace {

constexpr const char* kFolderName = "TOLM Screen Capture";

// Win32 takes '/' as well as '\'. Folders are handed out with '/', so that the names the recorder joins with
// '/' read alike throughout.
std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// "C:/" or "//server/share/": the part of an absolute path no folder can be made in; 0 for a relative one.
std::size_t RootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return 3;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t share = path.find_first_of("/\\", 2);
        if (share != std::string::npos) share = path.find_first_of("/\\", share + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    return IsSeparator(path.front()) ? 1 : 0;
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && RootLength(path) > 1;
}

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

// The instance locks of the temporary folders this process claimed: named kernel objects rather than open
// files, so that nothing stops the folder's removal. An object lives while a process holds it; the system
// drops it when the process ends, however it ends. Named in the global namespace by the folder, so that every
// session of the user meets the same lock.
class FolderLocks {
  public:
    // Whether this process holds the folder's lock, taken on the first call.
    bool Claim(const std::string& folder) {
        std::lock_guard lock(mutex_);
        auto it = locks_.find(folder);
        if (it == locks_.end()) {
            UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, LockName(folder).c_str()));
            // Made before by another process, or made by another user with rights that keep us out.
            if (event && ::GetLastError() == ERROR_ALREADY_EXISTS) event.reset();
            it = locks_.emplace(folder, std::move(event)).first;
        }
        return it->second != nullptr;
    }

  private:
    // Object names cannot hold '\' and stop at MAX_PATH: the folder enters by a hash of its name, letter case
    // aside as Windows' names are.
    static std::wstring LockName(const std::string& folder) {
        std::uint64_t hash = 14695981039346656037ull;
        for (const wchar_t c : ToWide(Slashed(folder))) {
            hash ^= static_cast<std::uint64_t>(std::towlower(c));
            hash *= 1099511628211ull;
        }
        char name[64];
        std::snprintf(name, sizeof name, "Global\\TOLM Screen Capture %016llx", static_cast<unsigned long long>(hash));
        return ToWide(name);
    }

    std::mutex mutex_;
    std::map<std::string, UniqueHandle> locks_;  // folder -> held lock (empty: held by another process)
};

FolderLocks& Locks() {
    static FolderLocks locks;
    return locks;
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
    if (Locks().Claim(base)) return base;
    const std::string own = base + "/instance-" + std::to_string(::GetCurrentProcessId());
    if (!MakeFolder(own, error) || !CheckOwnFolder(own, error)) return {};
    return own;
}

void ReleaseInstanceTempFolder(const std::string& folder) {
    if (folder.find("/instance-") != std::string::npos) ::RemoveDirectoryW(ToWide(folder).c_str());
}

// No version for Windows kept its temporary files anywhere else.
std::string FormerTempFolder() {
    return {};
}

void ReleaseFormerTempFolder(const std::string&) {}

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

// In use: open elsewhere at all, which an open that shares nothing finds out.
bool FileInUse(const std::string& path) {
    const UniqueHandle file = FileHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file) return false;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// Windows programs hold a file by opening it without sharing it, or by locking its bytes.
bool FileLocked(const std::string& path) {
    const UniqueHandle file = FileHandle(::CreateFileW(ToWide(path).c_str(), GENERIC_READ,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return ::GetLastError() == ERROR_SHARING_VIOLATION;
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

}  // namespace tolm
