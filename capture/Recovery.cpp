#include "capture/AviErrors.h"
#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>

namespace tolm {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPutAsidePrefix = "unsaved-";
// Marks what was found in the folder of an earlier version.
constexpr const char* kFormerKey = "former:";

std::uintmax_t SizeOf(const std::string& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(Utf8Path(file), ec);
    return ec ? 0 : size;
}

std::int64_t WrittenAt(const std::string& file) {
    std::error_code ec;
    const fs::file_time_type stamp = fs::last_write_time(Utf8Path(file), ec);
    if (ec) return 0;
    const auto system = std::chrono::file_clock::to_sys(stamp);
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// Whether the name ends with `suffix`: the original name of a file put aside after "unsaved-<stamp>-".
bool EndsWith(const std::string& name, const std::string& suffix) {
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

AviResult OpenFirstStream(AviLibrary& avi, const std::string& file, std::shared_ptr<AviStream>& stream) {
    stream.reset();
    if (!FileExists(file)) return AVIERR_FILEOPEN;
    std::unique_ptr<AviFile> opened;
    AviResult r = avi.OpenFile(file, AviOpenMode::read, opened);
    if (r != AVIERR_OK) return r;
    r = opened->GetStream(0, 0, stream);
    if (r != AVIERR_OK) stream.reset();
    return r;
}

double SecondsOf(const AviStreamInfo& info) {
    if (info.dwRate == 0) return -1;
    return static_cast<double>(info.dwLength) * info.dwScale / info.dwRate;
}

double ReadableSeconds(AviLibrary& avi, const std::string& file) {
    std::shared_ptr<AviStream> stream;
    if (file.empty() || OpenFirstStream(avi, file, stream) != AVIERR_OK) return -1;
    return SecondsOf(stream->Info());
}

std::string Joined(const std::vector<std::string>& files) {
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) text += (i == 0 ? "" : " and ") + files[i];
    return text;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(Utf8Path(a), Utf8Path(b), ec) && !ec;
}

// Why a file at `path` cannot hold the recorded video of `video`, or nothing when it can.
std::string NotStorable(const AviLibrary& avi, AviStream& video, const std::string& path) {
    const std::vector<std::uint8_t> format = video.Format();
    if (format.size() < BitmapInfoHeader::kSize) return {};
    const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format.data());
    if (avi.FileTakes(path, header.biCompression, header.biBitCount)) return {};
    const std::string codec = header.biCompression == 0 ? "uncompressed " + std::to_string(header.biBitCount) + "-bit"
                                                        : FourCCToString(header.biCompression);
    return NotStorableText("Its " + codec + " video", path, true);
}

}  // namespace

std::string TScreenCamera::LeftoverRecording::Description() const {
    char text[160];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    std::string description = text;
    if (seconds >= 0) {
        std::snprintf(text, sizeof text, ", about %.0f s", seconds);
        description += text;
    }
    if (videoFile.empty())
        description += ", sound only, no picture";
    else if (!audioFile.empty())
        description += ", with sound";
    if (time > 0) {
        const std::time_t when = static_cast<std::time_t>(time);
        const std::tm local = LocalTime(when);
        if (std::strftime(text, sizeof text, ", last written %Y-%m-%d %H:%M", &local) > 0) description += text;
    }
    return description;
}

// The temporary folder is held by an instance lock for the life of the recorder that uses it. A recorder
// that was killed released its lock, so this process got the same folder and finds what it left; a recorder
// still running keeps its folder, this process got a subfolder of its own and finds nothing there. Pairs put
// aside after a failed save keep their folder under names no recording uses. The folder earlier versions used is
// looked at as well until nothing is left in it.
std::vector<TScreenCamera::LeftoverRecording> TScreenCamera::LeftoverRecordings() {
    std::vector<LeftoverRecording> found;
    const std::string tempVideo = Globals().TempVideoFile();
    const std::string tempAudio = Globals().TempAudioFile();
    if (tempVideo.empty()) return found;
    const std::string videoName = Utf8Name(Utf8Path(tempVideo).filename());
    const std::string audioName = Utf8Name(Utf8Path(tempAudio).filename());

    // Keyed by what the two files of one recording share: "" for the killed recorder's pair, else the
    // "unsaved-<stamp>-" of the pair put aside.
    std::map<std::string, LeftoverRecording> byKey;
    const auto add = [&](const std::string& key, const std::string& path, bool video) {
        if (SizeOf(path) == 0) return;  // nothing recorded into it
        LeftoverRecording& entry = byKey[key];
        (video ? entry.videoFile : entry.audioFile) = path;
    };
    // This engine's own pair is a recording of its own (running, or ended and being cleaned up).
    if (!recordedHere_ && !workerRunning_) {
        add("", tempVideo, true);
        add("", tempAudio, false);
    }
    const auto addPutAside = [&](const std::string& folder, const std::string& keyPrefix) {
        std::error_code ec;
        for (fs::directory_iterator it(Utf8Path(folder), ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = Utf8Name(it->path().filename());
            if (name.rfind(kPutAsidePrefix, 0) != 0 || !it->is_regular_file(ec)) continue;
            if (EndsWith(name, videoName))
                add(keyPrefix + name.substr(0, name.size() - videoName.size()), folder + "/" + name, true);
            else if (EndsWith(name, audioName))
                add(keyPrefix + name.substr(0, name.size() - audioName.size()), folder + "/" + name, false);
        }
    };
    addPutAside(FolderOf(tempVideo), "");
    if (const std::string former = FormerTempFolder(); !former.empty()) {
        add(kFormerKey, former + "/" + videoName, true);
        add(kFormerKey, former + "/" + audioName, false);
        addPutAside(former, kFormerKey);
        const auto first = byKey.lower_bound(kFormerKey);
        if (first == byKey.end() || first->first.rfind(kFormerKey, 0) != 0) ReleaseFormerTempFolder(former);
    }
    for (auto& [key, entry] : byKey) {
        entry.bytes = SizeOf(entry.videoFile) + SizeOf(entry.audioFile);
        entry.time = std::max(WrittenAt(entry.videoFile), WrittenAt(entry.audioFile));
        entry.seconds = ReadableSeconds(services_.avi, entry.videoFile);
        if (entry.seconds < 0) entry.seconds = ReadableSeconds(services_.avi, entry.audioFile);
        found.push_back(entry);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const LeftoverRecording& a, const LeftoverRecording& b) { return a.time > b.time; });
    return found;
}

bool TScreenCamera::RecoverLeftover(const LeftoverRecording& leftover, const std::string& outputFile) {
    Globals().SaveSucceeded = false;
    const std::vector<std::string> files = [&] {
        std::vector<std::string> list;
        for (const std::string& f : {leftover.videoFile, leftover.audioFile})
            if (!f.empty()) list.push_back(f);
        return list;
    }();
    if (files.empty()) return false;
    if (workerRunning_) {
        ReportError("An interrupted recording can be saved once the running recording has ended; it is kept in " +
                    Joined(files) + ".");
        return false;
    }
    for (const std::string& f : files) {
        if (SameFile(f, outputFile)) {
            ReportError("An interrupted recording cannot be saved over its own file " + f + "; choose another name.");
            return false;
        }
    }

    // Each part that can be read is saved; a part that cannot stays where it is, so nothing is lost that a
    // better tool might still read.
    std::vector<std::shared_ptr<AviStream>> streams;
    std::vector<std::string> saved;
    std::vector<std::string> unreadable;
    std::string reason;
    for (const std::string& f : files) {
        std::shared_ptr<AviStream> stream;
        const AviResult r = OpenFirstStream(services_.avi, f, stream);
        if (r == AVIERR_OK && stream->Info().dwLength > 0) {
            streams.push_back(stream);
            saved.push_back(f);
            continue;
        }
        unreadable.push_back(f);
        if (reason.empty()) reason = r != AVIERR_OK ? OpenErrorText(r) : "It holds no whole frame or sample.";
    }
    if (streams.empty()) {
        ReportError("The interrupted recording cannot be read: " + reason + " Nothing was saved; it is kept in " +
                    Joined(files) + ".");
        return false;
    }

    // The save's rename would pull a file another program holds from under it.
    if (FileLocked(outputFile)) {
        ReportError("The file " + outputFile +
                    " is in use by another program; the interrupted recording was not "
                    "saved into it and is kept in " +
                    Joined(files) + ".");
        return false;
    }
    // Said before the save rather than as its failure.
    if (saved.front() == leftover.videoFile) {
        if (const std::string refusal = NotStorable(services_.avi, *streams.front(), outputFile); !refusal.empty()) {
            ReportError(refusal + ". The interrupted recording was not saved; it is kept in " + Joined(files) + ".");
            return false;
        }
    }
    const std::vector<const AviCompressOptions*> asTheyAre(streams.size(), nullptr);
    services_.host.SetBusyCursor(true);
    const AviResult r =
        services_.avi.Save(outputFile, streams, asTheyAre, [this](int percent) { return SaveProgress(percent); });
    services_.host.SetBusyCursor(false);
    streams.clear();  // the files are read no more
    if (r != AVIERR_OK) {
        // A cancel means "not now": the recording stays for the next start too.
        ReportError((r == AVIERR_USERABORT ? std::string("The save was cancelled.") : SaveErrorText(r)) +
                    " The interrupted recording was not saved; it is kept in " + Joined(files) + ".");
        return false;
    }
    Globals().SaveSucceeded = true;
    ReportSaveSuccess();
    for (const std::string& f : saved) DeleteTempFile(f);
    if (!unreadable.empty()) {
        const bool pictureLost = unreadable.front() == leftover.videoFile;
        ReportError(std::string("The interrupted recording was saved without its ") +
                    (pictureLost ? "picture" : "sound") + ": " + reason + " That part is kept in " +
                    unreadable.front() + ".");
    }
    return true;
}

bool TScreenCamera::DiscardLeftover(const LeftoverRecording& leftover) {
    bool gone = true;
    for (const std::string& f : {leftover.videoFile, leftover.audioFile})
        if (!f.empty() && !DeleteTempFile(f)) gone = false;
    return gone;
}

}  // namespace tolm
