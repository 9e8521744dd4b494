#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tolm {

// File names are UTF-8 text throughout. std::filesystem reads a plain string in the system's narrow encoding,
// which on Windows is the ANSI code page, so names reach it and come back through these two.
inline std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8Name(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tolm
