#pragma once

#include <cstddef>
#include <string>

namespace tolm {

// Win32 takes '/' as well as '\'. Folders are handed out with '/', so that the names the recorder joins with
// '/' read alike throughout.
std::string Slashed(std::string path);
bool IsSeparator(char c);

// "C:/" or "//server/share/": the part of an absolute path no folder can be made in; 0 for a relative one.
std::size_t RootLength(const std::string& path);
bool IsAbsolute(const std::string& path);

// `path` from the root of its drive or share, as the system resolves it against the current folder; "" when
// it cannot.
std::string FullPath(const std::string& path);

// What a name leads to, told from the name and the attributes alone: nothing is opened, so a device, a console
// or a pipe never acts on it.
enum class PathKind { missing, unknown, file, folder, link, device };
PathKind KindOf(const std::string& path);

// What device `path` names ("the device NUL", "a pipe"), or "" when it names none. Windows keeps CON, PRN, AUX,
// NUL, COM1-9 and LPT1-9 in every folder, with any extension, and reaches devices and pipes by "\\.\" names.
std::string DeviceNamed(const std::string& path);

}  // namespace tolm
