#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace tolm {

// C streams by UTF-8 names with 64-bit positions on every system (a long is 32 bits on Windows).

// Opens `path` with fopen's `mode`; null with errno set when it cannot.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// Moves the stream to `position` from the start; false with errno set when it cannot.
bool SeekStdioFile(std::FILE* file, std::uint64_t position);

// The size of the stream's file, found at its end (where the stream is left); nothing with errno set when it
// cannot be asked.
std::optional<std::uint64_t> StdioFileSize(std::FILE* file);

}  // namespace tolm
