#pragma once

#include <string>

#include "platform/VideoTypes.h"

namespace tolm {

// The user's text for a save result; empty for success.
std::string SaveErrorText(AviResult result);

// The user's text for a failure to open a temporary file for reading; empty for success.
std::string OpenErrorText(AviResult result);

}  // namespace tolm
