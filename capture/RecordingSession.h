#pragma once

#include <memory>
#include <optional>

#include "audio/scWaveRecorders.h"
#include "imaging/PackedDib.h"
#include "platform/AviLibrary.h"
#include "platform/VideoCompressors.h"

namespace tolm {

// The video objects of one recording, from the compressor's settling to their release.
struct RecordingSession {
    std::optional<PackedDib> firstFrame;   // the settling's probe frame; gives the stream its format
    std::unique_ptr<VideoCompressor> compressor;  // open while the settling queries it
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;      // the file's video stream
    std::shared_ptr<AviStream> compressed;  // where frames are written
    AviCompressOptions options;
    bool optionsBuilt = false;
    // Set by a failed step; it prevents the save and leads to the compressor question.
    std::optional<AviResult> failure;
    // The sound of the recording, from the audio start to the audio stop.
    std::unique_ptr<TStockAudioRecorder> recorder;
    // The sound could not be started: the recording ends without the compressor question.
    bool audioFailed = false;
};

}  // namespace tolm
