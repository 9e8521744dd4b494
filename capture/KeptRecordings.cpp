#include <ctime>

#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

namespace tolm {

void TScreenCamera::WriteRecordingNote() {
    const std::string file = Globals().TempNoteFile();
    if (file.empty()) return;
    RecordingNote note;
    // Unknown when it cannot be made absolute: a relative name would be read against another folder later.
    const std::string output = AbsolutePath(Globals().OutputFile());
    note.outputFile = IsAbsolutePath(output) ? output : std::string();
    note.recordType = recordType_;
    note.compressor = currentCompressor_;
    note.quality = compressionQuality_;
    note.keyFramesEvery = keyFramesEvery_;
    note.mspf = recordMspf_;
    // Without it what a crash leaves is saved as a recording of an earlier version is; the recording goes on.
    std::string error;
    if (!WritePrivateFile(file, note.Text(), error)) RemoveFile(file);
}

TScreenCamera::LeftoverRecording TScreenCamera::PutTempFilesAside() {
    // New names, so that neither the next recording nor the engine's clean-up removes them.
    const std::time_t now = std::time(nullptr);
    const std::tm local = LocalTime(now);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    LeftoverRecording kept;
    kept.videoFile = Globals().TempVideoFile();
    kept.audioFile = Globals().TempAudioFile();
    for (std::string* file : {&kept.videoFile, &kept.audioFile})
        if (file->empty() || FileSize(*file) == 0) file->clear();
    if (kept.Files().empty()) return {};
    // The note goes with what it tells about.
    if (const std::string note = Globals().TempNoteFile(); !note.empty() && FileExists(note)) kept.noteFile = note;
    const std::vector<std::string*> parts{&kept.videoFile, &kept.audioFile, &kept.noteFile};
    const auto renamed = [](const std::string& file, const std::string& prefix) {
        return FolderOf(file) + "/" + prefix + Utf8Name(Utf8Path(file).filename());
    };
    // The files of one recording share one prefix, and a pair put aside earlier in the same second keeps its own.
    std::string prefix;
    for (int n = 1; prefix.empty() && n < 1000; ++n) {
        std::string candidate = "unsaved-";
        candidate += stamp;
        if (n > 1) candidate.append("-").append(std::to_string(n));
        candidate += '-';
        bool free = true;
        for (const std::string* part : parts)
            if (!part->empty() && FileExists(renamed(*part, candidate))) free = false;
        if (free) prefix = candidate;
    }
    for (std::string* part : parts) {
        if (part->empty() || prefix.empty()) continue;
        const std::string to = renamed(*part, prefix);
        if (RenameReplacing(*part, to) == 0) *part = to;
    }
    return kept;
}

bool TScreenCamera::KeepTempFilesForRecovery(const std::string& reason) {
    const LeftoverRecording kept = PutTempFilesAside();
    if (kept.Files().empty()) return false;
    ReportError(reason + "; it is kept in " + kept.Where() + ".");
    return true;
}

bool TScreenCamera::KeepCancelledRecording() {
    LeftoverRecording kept = PutTempFilesAside();
    if (kept.Files().empty()) return false;
    Measure(kept);
    cancelled_ = std::move(kept);
    return true;
}

std::optional<TScreenCamera::LeftoverRecording> TScreenCamera::CancelledRecording() const {
    if (workerRunning_) return std::nullopt;
    return cancelled_;
}

std::optional<TScreenCamera::LeftoverRecording> TScreenCamera::TakeCancelledRecording() {
    if (workerRunning_) return std::nullopt;
    std::optional<LeftoverRecording> taken = std::move(cancelled_);
    cancelled_.reset();
    return taken;
}

}  // namespace tolm
