#pragma once

#include <string>

#include "platform/VideoTypes.h"
#include "platform/ffmpeg/AvHandles.h"

namespace tolm::ffmpeg {

std::string AvErrorText(int error);

// The AVI result closest to an FFmpeg error; `fallback` for errors without a closer meaning (EIO, EINVAL, ...).
AviResult ToAviResult(int error, AviResult fallback);

// Routes FFmpeg's log through a filter once per process: errors only (unless the level was changed before),
// and nothing from a thread while it holds a QuietLog.
void InstallLogFilter();

// Silences FFmpeg's log on this thread, for probes whose failures are answers rather than errors.
class QuietLog {
  public:
    QuietLog();
    ~QuietLog();
    QuietLog(const QuietLog&) = delete;
    QuietLog& operator=(const QuietLog&) = delete;
};

// av_dict_set on an owned dictionary; false when memory ran out.
bool DictSet(AvDictionaryPtr& dict, const char* key, const std::string& value);

}  // namespace tolm::ffmpeg
