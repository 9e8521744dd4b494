#pragma once

#include <cstddef>
#include <string>

namespace tolm {

// What the part files of every system share: how they are named, and the private folder's subfolder that notes
// the saves running.
constexpr const char* kPartInfix = ".part-";
constexpr std::size_t kPartSuffixBytes = 8;
constexpr const char* kPartNotesFolder = "part-files";

// Eight lower-case letters or digits, new at each call.
std::string RandomPartSuffix();

// Whether `path` ends with ".part-<suffix>" after a name, for a suffix RandomPartSuffix could have made: no other
// file is taken for one of ours.
bool EndsWithPartSuffix(const std::string& path, const std::string& suffix);

}  // namespace tolm
