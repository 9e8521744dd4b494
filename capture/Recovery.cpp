#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "platform/Files.h"

#include <cstdio>
#include <filesystem>

namespace tolm {
namespace {

std::uintmax_t SizeOf(const std::string& file) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

}  // namespace

// The temporary folder is held by an instance lock for the life of the recorder that uses it. A recorder
// that was killed released its lock, so this process got the same folder and finds what it left; a recorder
// still running keeps its folder, this process got a subfolder of its own and finds nothing there. So the
// files found here belong to no running recorder.
bool TScreenCamera::HasLeftoverRecording(std::string& description) {
    description.clear();
    const std::string video = Globals().TempVideoFile();
    if (video.empty() || !FileExists(video) || SizeOf(video) == 0) return false;
    char text[96];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(SizeOf(video)) / (1024.0 * 1024.0));
    description = text;
    std::unique_ptr<AviFile> file;
    std::shared_ptr<AviStream> stream;
    if (services_.avi.OpenFile(video, AviOpenMode::read, file) == AVIERR_OK &&
        file->GetStream(streamtypeVIDEO, 0, stream) == AVIERR_OK) {
        const AviStreamInfo info = stream->Info();
        if (info.dwRate > 0 && info.dwLength > 0) {
            std::snprintf(text, sizeof text, ", about %.0f s",
                          static_cast<double>(info.dwLength) * info.dwScale / info.dwRate);
            description += text;
        }
    }
    const std::string audio = Globals().TempAudioFile();
    if (!audio.empty() && SizeOf(audio) > 0) description += ", with sound";
    return true;
}

bool TScreenCamera::RecoverRecording(const std::string& outputFile) {
    // A recording of this engine writes into these very files.
    if (workerRunning_) return false;
    const std::string video = Globals().TempVideoFile();
    if (video.empty() || SizeOf(video) == 0) return false;
    const std::string audio = Globals().TempAudioFile();
    // The sound goes with it when the killed recording left one, whatever this engine is set to now.
    const bool savedUseAudio = useAudioRecord_;
    useAudioRecord_ = !audio.empty() && SizeOf(audio) > 0;
    Globals().SaveSucceeded = false;
    saveFailed_ = false;
    Globals().SetOutputFile(outputFile);
    SaveRecording();
    ReportSaveSuccess();
    const bool saved = Globals().SaveSucceeded;
    if (saved) {
        DeleteTempFile(video);
        DeleteTempFile(audio);
    } else {
        // They are the only copy: kept under names that neither clean-up nor the next recording removes.
        KeepTempFilesForRecovery();
    }
    useAudioRecord_ = savedUseAudio;
    return true;
}

}  // namespace tolm
