#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio/scWaveRecorders.h"
#include "capture/FrameScratch.h"
#include "capture/RecordingTimeline.h"
#include "imaging/PackedDib.h"
#include "platform/AviLibrary.h"
#include "platform/VideoCompressors.h"

namespace tolm {

// The video objects of one recording, from the compressor's settling to their release.
struct RecordingSession {
    std::optional<PackedDib> firstFrame;          // the settling's probe frame; gives the stream its format
    std::unique_ptr<VideoCompressor> compressor;  // open while the settling queries it
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;      // the file's video stream
    std::shared_ptr<AviStream> compressed;  // where frames are written
    AviCompressOptions options;
    bool optionsBuilt = false;
    // The stream's playback rate, fixed when the file is made; the timeline follows it in real time.
    int streamFps = 0;
    // Set by a failed step; it prevents the save and leads to the compressor question.
    std::optional<AviResult> failure;
    // A write failed once frames were in the file: the recording ended there, reported, and is saved from
    // what the file holds.
    bool writeFailed = false;
    // The user stopped the save while the frames still queued at the stop were written.
    bool saveCancelled = false;
    // Frames handed to the stream; none at the stop leaves nothing worth a file.
    int framesWritten = 0;
    // The user was told that the disk is full; a write that fails for it afterwards needs no second word.
    bool diskFullReported = false;
    // The sound input broke off during the recording (set on the device's thread, with the device's reason);
    // the picture goes on. Before the recorder, which reports into them until it is gone.
    std::atomic<bool> audioLost{false};
    std::mutex audioLossMutex;
    std::string audioLossReason;
    bool audioLossReported = false;
    // Read by the recorder's buffer thread, so it outlives the recorder.
    TRecordingTimeline timeline;
    // The sound of the recording, from the audio start to the audio stop.
    std::unique_ptr<TStockAudioRecorder> recorder;
    // The sound could not be started: the recording ends without the compressor question.
    bool audioFailed = false;
    // The worker's working images for its grabs; they go with the recording.
    FrameScratch scratch;
};

}  // namespace tolm
