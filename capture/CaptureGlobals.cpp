#include "capture/CaptureGlobals.h"

namespace tolm {

std::string CaptureGlobals::OutputFile() const {
    std::lock_guard lock(mutex_);
    return outputFile_;
}

void CaptureGlobals::SetOutputFile(const std::string& file) {
    std::lock_guard lock(mutex_);
    outputFile_ = file;
}

std::string CaptureGlobals::TempVideoFile() const {
    std::lock_guard lock(mutex_);
    return tempFolder_.empty() ? std::string() : tempFolder_ + "/tmpVideoStream.avi";
}

std::string CaptureGlobals::TempAudioFile() const {
    std::lock_guard lock(mutex_);
    return tempFolder_.empty() ? std::string() : tempFolder_ + "/tmpAudioStream.wav";
}

std::string CaptureGlobals::TempNoteFile() const {
    std::lock_guard lock(mutex_);
    return tempFolder_.empty() ? std::string() : tempFolder_ + "/tmpRecordingNote.txt";
}

std::string CaptureGlobals::TempFolderError() const {
    std::lock_guard lock(mutex_);
    return tempFolderError_;
}

void CaptureGlobals::SetTempFolder(const std::string& folder, const std::string& error) {
    std::lock_guard lock(mutex_);
    tempFolder_ = folder;
    tempFolderError_ = error;
}

CaptureGlobals& Globals() {
    static CaptureGlobals globals;
    return globals;
}

void ResetCaptureGlobals() {
    CaptureGlobals& g = Globals();
    g.ActiveCamera = nullptr;
    g.StopReason = TStopReason::None;
    g.StartPending = false;
    g.SaveSucceeded = false;
    g.SetOutputFile({});
    g.SetTempFolder({}, {});
}

}  // namespace tolm
