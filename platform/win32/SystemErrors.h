#pragma once

#include <windows.h>

#include <string>

namespace tolm {

// The errno value the interfaces report for a Win32 error (EIO for one without a counterpart).
int ErrnoOf(DWORD error);

// The system's sentence for a Win32 error, in UTF-8, without its closing full stop.
std::string SystemMessage(DWORD error);

}  // namespace tolm
