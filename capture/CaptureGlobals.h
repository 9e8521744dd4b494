#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace tolm {

class TScreenCamera;

enum class TStopReason : std::uint8_t { None = 0, StopAndSave = 1, Cancel = 2 };

// The engine's process-wide state. There is one engine per process; these values outlive a recording (the
// last stop request decides whether the next ended recording is saved) and are shared by the user interface
// thread and the recording worker, hence atomics and a lock for the texts.
class CaptureGlobals {
  public:
    std::atomic<TScreenCamera*> ActiveCamera{nullptr};
    std::atomic<TStopReason> StopReason{TStopReason::None};
    std::atomic<bool> StartPending{false};
    std::atomic<bool> SaveSucceeded{false};

    std::string OutputFile() const;
    void SetOutputFile(const std::string& file);
    // The temporary files live in the user's private folder; empty when that folder cannot be had, with
    // TempFolderError() saying why.
    std::string TempVideoFile() const;
    std::string TempAudioFile() const;
    // What the recording in the temporary files is meant to become (RecordingNote).
    std::string TempNoteFile() const;
    std::string TempFolderError() const;
    // Chooses the temporary files' folder; done once when the first engine is made.
    void SetTempFolder(const std::string& folder, const std::string& error);

  private:
    mutable std::mutex mutex_;
    std::string outputFile_;
    std::string tempFolder_;
    std::string tempFolderError_;
};

CaptureGlobals& Globals();

// Back to the state at program start; for tests.
void ResetCaptureGlobals();

}  // namespace tolm
