#include "platform/win32/Win32Paths.h"

#include <windows.h>

#include <array>
#include <string_view>
#include <vector>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Handles.h"

namespace tolm {
namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The last part of the name as Windows reads it for its device names: up to the first dot, spaces aside.
std::string DeviceStem(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\:");
    std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    return Upper(stem);
}

bool IsReservedStem(const std::string& stem) {
    static constexpr std::array<std::string_view, 7> kFixed{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (std::string_view name : kFixed)
        if (stem == name) return true;
    if (stem.rfind("COM", 0) != 0 && stem.rfind("LPT", 0) != 0) return false;
    const std::string_view number = std::string_view(stem).substr(3);
    // A digit, or the superscripts one to three, which Windows takes for digits here.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\u00b9" || number == "\u00b2" ||
           number == "\u00b3";
}

}  // namespace

std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::size_t RootLength(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return 3;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t share = path.find_first_of("/\\", 2);
        if (share != std::string::npos) share = path.find_first_of("/\\", share + 1);
        return share == std::string::npos ? path.size() : share + 1;
    }
    return !path.empty() && IsSeparator(path.front()) ? 1 : 0;
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && RootLength(path) > 1;
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = ToWide(path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::vector<wchar_t> full(size);
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    return length == 0 || length >= size ? std::string() : Slashed(ToUtf8(std::wstring_view(full.data(), length)));
}

std::string DeviceNamed(const std::string& path) {
    // "\\.\" and "\\?\" lead to the system's own namespace: a drive's or a share's path there is a file's.
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '.' || path[2] == '?') &&
        IsSeparator(path[3])) {
        const std::string rest = path.substr(4);
        const std::string upper = Upper(rest);
        const bool drive = rest.size() >= 3 && rest[1] == ':' && IsSeparator(rest[2]);
        if (!drive && !(upper.rfind("UNC", 0) == 0 && upper.size() > 3 && IsSeparator(upper[3])))
            return upper.rfind("PIPE", 0) == 0 && upper.size() > 4 && IsSeparator(upper[4]) ? "a pipe" : "a device";
        return DeviceNamed(rest);
    }
    const std::string stem = DeviceStem(path);
    return IsReservedStem(stem) ? "the device " + stem : std::string();
}

PathKind KindOf(const std::string& path) {
    if (path.empty()) return PathKind::missing;
    if (!DeviceNamed(path).empty()) return PathKind::device;
    const std::wstring wide = ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
                   ? PathKind::missing
                   : PathKind::unknown;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Links and junctions lead elsewhere; other reparse points (cloud files, deduplicated ones) are the
        // file or folder they show.
        WIN32_FIND_DATAW found{};
        const SearchHandle search(SearchOf(::FindFirstFileW(wide.c_str(), &found)));
        if (!search || found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT)
            return PathKind::link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::folder : PathKind::file;
}

}  // namespace tolm
