#pragma once

#include <string>

#include "platform/VideoTypes.h"

namespace tolm {

// The user's text for a save result; empty for success.
std::string SaveErrorText(AviResult result);

// The user's text for a failure to open a temporary file for reading; empty for success.
std::string OpenErrorText(AviResult result);

// "MS Video 1 cannot be stored in an MP4 file; choose H.264 or save as .mkv or .avi": a file of the kind
// `path` names that cannot hold `codec`. `recorded`: the codec is that of a recording made already, so only
// another kind of file helps.
std::string NotStorableText(const std::string& codec, const std::string& path, bool recorded);

}  // namespace tolm
