#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/AviLibrary.h"
#include "platform/ffmpeg/CompressorRegistry.h"

namespace tolm::ffmpeg {

// Writes `streams` in order into a new file at `path`, interleaved by time: AVI, or MP4 or Matroska when the
// name ends in .mp4 or .mkv. A video stream whose
// options name a compressor is compressed on the way (decoded first when it is compressed already);
// every other stream is copied sample by sample, skipped positions included. The file is written under a
// temporary name and renamed over the old file at the end, so a failed or cancelled save leaves the old file
// as it was. On a failure of the file itself `problem` names it and gives the system's reason.
AviResult SaveStreams(const std::string& path, const std::vector<std::shared_ptr<AviStream>>& streams,
                      const std::vector<const AviCompressOptions*>& options, const AviSaveProgress& progress,
                      std::shared_ptr<const CompressorRegistry> registry, std::string& problem);

}  // namespace tolm::ffmpeg
