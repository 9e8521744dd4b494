#pragma once

#include <string>

namespace tolm {

// The licence as both programs state it: its SPDX identifier, then what it allows and that there is no warranty.
std::string LicenceText();

// What `program --version` prints: the program's name and version, its copyright holder and LicenceText().
std::string VersionText(const std::string& program);

}  // namespace tolm
