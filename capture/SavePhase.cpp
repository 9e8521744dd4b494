#include "capture/AviErrors.h"
#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "platform/Files.h"
#include "platform/PartFiles.h"

namespace tolm {
namespace {

constexpr int kDeleteAttempts = 50;

}  // namespace

void TScreenCamera::OpenTempStream(const std::string& fileName, std::shared_ptr<AviStream>& slot) {
    if (fileName.empty() || !FileExists(fileName)) return;
    std::unique_ptr<AviFile> file;
    const AviResult r = services_.avi.OpenFile(fileName, AviOpenMode::read, file);
    if (r != AVIERR_OK) {
        ReportError(OpenErrorText(r));
        return;
    }
    if (file->GetStream(0, 0, slot) != AVIERR_OK) {
        slot.reset();
        ReportError("Unable to get stream");
    }
}

void TScreenCamera::SaveRecording(bool tempFileWhole) {
    std::shared_ptr<AviStream> video;
    std::shared_ptr<AviStream> audio;
    OpenTempStream(Globals().TempVideoFile(), video);
    if (useAudioRecord_) OpenTempStream(Globals().TempAudioFile(), audio);
    if (!video) {
        // Without this the recording would be lost without a word (the file vanished or could not be read).
        if (!FileExists(Globals().TempVideoFile()))
            ReportError("The recording's temporary file " + Globals().TempVideoFile() + " is gone; nothing was saved.");
        else
            saveFailed_ = true;  // unreadable now, but it is all there is of the recording
        return;
    }
    std::vector<std::shared_ptr<AviStream>> streams{video};
    if (audio) streams.push_back(audio);
    // With nothing to join or compress, the save would write the temporary file again as it is.
    const bool asItIs = tempFileWhole && !audio && recordType_ != TTypeRecord::CompressAfterRecord;
    Globals().SaveSucceeded = SaveAVI(Globals().OutputFile(), streams, asItIs ? Globals().TempVideoFile() : "");
}

bool TScreenCamera::SaveAVI(const std::string& fileName, const std::vector<std::shared_ptr<AviStream>>& streams,
                            const std::string& wholeFile) {
    AviCompressOptions videoOptions;
    std::vector<const AviCompressOptions*> options(streams.size(), nullptr);
    if (recordType_ == TTypeRecord::CompressAfterRecord) {
        videoOptions.fccType = streamtypeVIDEO;
        videoOptions.fccHandler = currentCompressor_;
        videoOptions.dwKeyFrameEvery = static_cast<std::uint32_t>(keyFramesEvery_.load());
        videoOptions.dwQuality = static_cast<std::uint32_t>(compressionQuality_.load());
        videoOptions.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
        options[0] = &videoOptions;
    }
    // A file another program holds is not replaced: that would pull it from under the program, and its
    // deletion at the next start would then take this recording. The temporary files stay instead.
    if (FileLocked(fileName)) {
        ReportError("The file " + fileName + " is in use by another program; the recording was not saved into it.");
        saveFailed_ = true;
        return false;
    }
    // An existing file stays until the new one is whole and takes its place in one step (the save's rename).
    // What cannot be replaced so (a device, a FIFO, an immutable file) may have become so since the start.
    if (const std::string problem = OutputFileProblem(fileName); !problem.empty()) {
        ReportError("The file " + fileName + " cannot be replaced (" + problem +
                    "); the recording was not saved into it.");
        saveFailed_ = true;
        return false;
    }
    // Asked before the save: a save that fails removes what it wrote, and the space with it.
    const std::string folder = FolderOf(fileName);
    const std::optional<std::uint64_t> room = RoomForRecording(folder);
    const std::uint64_t needed = FileSize(Globals().TempVideoFile()) + FileSize(Globals().TempAudioFile());
    services_.host.SetBusyCursor(true);
    AviResult r = wholeFile.empty() ? AVIERR_UNSUPPORTED : MoveIntoPlace(wholeFile, fileName);
    // Another file system, or a move refused: the copy, as before.
    if (r != AVIERR_OK && r != AVIERR_USERABORT)
        r = services_.avi.Save(fileName, streams, options, [this](int percent) { return SaveProgress(percent); });
    services_.host.SetBusyCursor(false);
    if (r == AVIERR_OK) return true;
    // The temporary files are the only copy of the recording. A cancelled save keeps them as well: a user who
    // stops a long save has not asked for the recording to go.
    saveFailed_ = true;
    if (r == AVIERR_FILEWRITE && room && *room < needed + TDiskWatch::kMinimumReserve) {
        ReportError("Not enough disk space: the recording could not be saved in " + folder + " (" +
                    std::to_string(*room / TDiskWatch::kMB) + " MB free, about " +
                    std::to_string(needed / TDiskWatch::kMB + 1) + " MB needed).");
    } else {
        // The file and the system's reason, where the library knows them.
        const bool fileFault = r == AVIERR_FILEOPEN || r == AVIERR_FILEWRITE || r == AVIERR_READONLY;
        const std::string detail = fileFault ? services_.avi.LastProblem() : std::string();
        ReportError(SaveErrorText(r) + (detail.empty() ? "" : " " + detail + "."));
    }
    Raise(OnStop);
    return false;
}

// A move takes no time whatever the size, so its progress has only the two ends; it may be stopped before it.
AviResult TScreenCamera::MoveIntoPlace(const std::string& from, const std::string& to) {
    if (SaveProgress(0) == -1) return AVIERR_USERABORT;
    const AviResult r = services_.avi.MoveFile(from, to);
    if (r == AVIERR_OK) SaveProgress(100);
    return r;
}

int TScreenCamera::SaveProgress(int percent) {
    TScreenCamera* camera = Globals().ActiveCamera;
    if (!camera || !camera->OnSaving) return 0;
    bool continueSaving = true;
    camera->OnSaving(*camera, percent, "Saving Video...", continueSaving);
    return continueSaving ? 0 : -1;
}

void TScreenCamera::ReportSaveSuccess() {
    TScreenCamera* camera = Globals().ActiveCamera;
    if (!Globals().SaveSucceeded || !camera || !camera->OnSaving) return;
    bool continueSaving = true;
    camera->OnSaving(*camera, 100, "Saving Success...", continueSaving);
}

bool TScreenCamera::ReportDeleting(int percent, const std::string& caption) {
    TScreenCamera* camera = Globals().ActiveCamera;
    bool continueDeleting = true;
    if (camera && camera->OnDeleting) camera->OnDeleting(*camera, percent, caption, continueDeleting);
    return continueDeleting;
}

bool TScreenCamera::DeleteTempFile(const std::string& fileName) {
    services_.host.SetBusyCursor(true);
    // A file another program holds cannot go now: it is listed for deletion at the next start instead.
    const bool deletable = FileExists(fileName) && !FileInUse(fileName);
    bool result = false;
    for (int attempt = 1; attempt <= kDeleteAttempts; ++attempt) {
        if (!FileExists(fileName)) {
            ReportDeleting(100, "");
            result = true;
            break;
        }
        if (Globals().ActiveCamera && !ReportDeleting(2 * attempt, "Deleting Temp File")) {
            ReportDeleting(100, "");
            result = false;
            break;
        }
        result = deletable ? RemoveFile(fileName) : DeleteAtNextStart(fileName);
    }
    services_.host.SetBusyCursor(false);
    return result;
}

}  // namespace tolm
