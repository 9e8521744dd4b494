#pragma once

#include <string>

#include "imaging/PackedDib.h"

namespace tolm {

// Writes a packed DIB as a .bmp file (file header + the DIB). False with `error` set on failure; a failed
// write leaves no partial file behind.
bool WriteBmpFile(const std::string& path, const PackedDib& dib, std::string& error);

}  // namespace tolm
