#include "capture/AviErrors.h"
#include "capture/CaptureGlobals.h"
#include "capture/CutStream.h"
#include "capture/ScreenCamera.h"
#include "imaging/Utf8Path.h"
#include "platform/Files.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>

namespace tolm {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPutAsidePrefix = "unsaved-";

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

std::optional<AviStreamInfo> FirstStreamInfo(AviLibrary& avi, const std::string& file) {
    std::shared_ptr<AviStream> stream;
    if (file.empty() || OpenFirstStream(avi, file, stream) != AVIERR_OK) return std::nullopt;
    return stream->Info();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(Utf8Path(a), Utf8Path(b), ec) && !ec;
}

// Why a file at `path` cannot hold the recorded video of `video`, compressed by `compressor` when it is not 0,
// or nothing when it can.
std::string NotStorable(const AviLibrary& avi, AviStream& video, std::uint32_t compressor, const std::string& path) {
    const std::vector<std::uint8_t> format = video.Format();
    if (format.size() < BitmapInfoHeader::kSize) return {};
    const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(format.data());
    const std::uint32_t codec4 = compressor != 0 ? compressor : header.biCompression;
    if (avi.FileTakes(path, codec4, header.biBitCount)) return {};
    const std::string codec =
        codec4 == 0 ? "uncompressed " + std::to_string(header.biBitCount) + "-bit" : FourCCToString(codec4);
    return NotStorableText("Its " + codec + " video", path, true);
}

// The save's options for the picture of a recording whose note says it was to be compressed once it ended.
std::optional<AviCompressOptions> AfterRecordOptions(const std::optional<RecordingNote>& note) {
    if (!note || note->recordType != TTypeRecord::CompressAfterRecord) return std::nullopt;
    AviCompressOptions options;
    options.fccType = streamtypeVIDEO;
    options.fccHandler = note->compressor;
    options.dwKeyFrameEvery = static_cast<std::uint32_t>(note->keyFramesEvery);
    options.dwQuality = static_cast<std::uint32_t>(note->quality);
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    return options;
}

// Sound beyond the last picture has no picture to go with: the save after a recording never holds it. The picture
// (streams[0]) took `mspf` milliseconds of recording a frame.
void CutSoundToPicture(std::vector<std::shared_ptr<AviStream>>& streams, int mspf) {
    const AviStreamInfo sound = streams.back()->Info();
    if (mspf <= 0 || sound.dwScale == 0) return;
    const double seconds = static_cast<double>(streams.front()->Info().dwLength) * mspf / 1000.0;
    const double blocks = std::floor(seconds * sound.dwRate / sound.dwScale);
    if (blocks < sound.dwLength)
        streams.back() = std::make_shared<CutStream>(streams.back(), static_cast<std::uint32_t>(blocks));
}

// The parts of a recording, read: each part that can be read is saved; a part that cannot stays where it is, so
// nothing is lost that a better tool might still read.
struct Parts {
    std::vector<std::shared_ptr<AviStream>> streams;
    std::vector<std::string> saved;       // their files
    std::vector<std::string> unreadable;  // the files of the others
    std::string reason;                   // why the first of those cannot be read
};

Parts ReadParts(AviLibrary& avi, const std::vector<std::string>& files) {
    Parts parts;
    for (const std::string& f : files) {
        std::shared_ptr<AviStream> stream;
        const AviResult r = OpenFirstStream(avi, f, stream);
        if (r == AVIERR_OK && stream->Info().dwLength > 0) {
            parts.streams.push_back(stream);
            parts.saved.push_back(f);
            continue;
        }
        parts.unreadable.push_back(f);
        if (parts.reason.empty())
            parts.reason = r != AVIERR_OK ? OpenErrorText(r) : "It holds no whole frame or sample.";
    }
    return parts;
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

std::vector<std::string> TScreenCamera::LeftoverRecording::Files() const {
    std::vector<std::string> files;
    for (const std::string& f : {videoFile, audioFile})
        if (!f.empty()) files.push_back(f);
    return files;
}

std::string TScreenCamera::LeftoverRecording::Where() const {
    std::string text;
    for (const std::string& f : Files()) text += (text.empty() ? "" : " and ") + f;
    return text;
}

namespace {

std::string NameOf(const std::string& path) {
    return Utf8Name(Utf8Path(path).filename());
}

// The files of interrupted recordings in the folders looked at, each recording under a key of what its files
// share: the folder's key for a killed recorder's pair, with the "unsaved-<stamp>-" of a pair put aside.
class LeftoverScan {
  public:
    LeftoverScan(const std::string& tempVideo, const std::string& tempAudio, const std::string& tempNote)
        : names_{NameOf(tempVideo), NameOf(tempAudio), NameOf(tempNote)} {}

    // What lies in `folder`; the killed recorder's pair only when `killedPair`. Whether anything was found.
    bool Folder(const std::string& folder, const std::string& key, bool killedPair) {
        const std::size_t before = byKey_.size();
        if (killedPair)
            for (std::size_t kind = 0; kind < names_.size(); ++kind) Add(key, folder + "/" + names_[kind], kind);
        std::error_code ec;
        for (fs::directory_iterator it(Utf8Path(folder), ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = Utf8Name(it->path().filename());
            if (name.rfind(kPutAsidePrefix, 0) != 0 || !it->is_regular_file(ec)) continue;
            for (std::size_t kind = 0; kind < names_.size(); ++kind)
                if (EndsWith(name, names_[kind]))
                    Add(key + name.substr(0, name.size() - names_[kind].size()), folder + "/" + name, kind);
        }
        return byKey_.size() > before;
    }

    const std::array<std::string, 3>& Names() const { return names_; }

    // The recordings found; a note alone is none.
    std::vector<TScreenCamera::LeftoverRecording> Found() {
        std::vector<TScreenCamera::LeftoverRecording> found;
        for (auto& [key, entry] : byKey_) {
            const auto note = notes_.find(key);
            if (note != notes_.end()) entry.noteFile = note->second;
            found.push_back(entry);
        }
        return found;
    }

  private:
    void Add(const std::string& key, const std::string& path, std::size_t kind) {
        if (SizeOf(path) == 0) return;  // nothing recorded into it
        if (kind == 2) {
            notes_[key] = path;
            return;
        }
        TScreenCamera::LeftoverRecording& entry = byKey_[key];
        (kind == 0 ? entry.videoFile : entry.audioFile) = path;
    }

    std::array<std::string, 3> names_;  // picture, sound, note
    std::map<std::string, TScreenCamera::LeftoverRecording> byKey_;
    std::map<std::string, std::string> notes_;
};

// A claimed folder with nothing to offer: what is left of the recorder that used it (files it never wrote into,
// the note about them) goes, then the folder.
void ReleaseEmptied(const std::string& folder, const std::array<std::string, 3>& names) {
    for (const std::string& name : names)
        if (const std::string file = folder + "/" + name; FileExists(file) && (SizeOf(file) == 0 || name == names[2]))
            RemoveFile(file);
    ReleaseClaimedTempFolder(folder);
}

}  // namespace

void TScreenCamera::Measure(LeftoverRecording& leftover) {
    leftover.bytes = SizeOf(leftover.videoFile) + SizeOf(leftover.audioFile);
    leftover.time = std::max(WrittenAt(leftover.videoFile), WrittenAt(leftover.audioFile));
    const std::optional<AviStreamInfo> video = FirstStreamInfo(services_.avi, leftover.videoFile);
    const std::optional<AviStreamInfo> audio = FirstStreamInfo(services_.avi, leftover.audioFile);
    leftover.seconds = video ? SecondsOf(*video) : audio ? SecondsOf(*audio) : -1;
    leftover.readable = (video && video->dwLength > 0) || (audio && audio->dwLength > 0);
    leftover.note = RecordingNote::Read(leftover.noteFile);
}

// The temporary folder is held by an instance lock for the life of the recorder that uses it. A recorder
// that was killed released its lock, so this process got the same folder and finds what it left; a recorder
// still running keeps its folder, this process got a subfolder of its own and finds nothing there. The folders
// of further recorders that were killed are free of their locks too, and are claimed here. Pairs put aside
// after a failed save keep their folder under names no recording uses. The folder earlier versions used is
// looked at as well until nothing is left in it.
std::vector<TScreenCamera::LeftoverRecording> TScreenCamera::LeftoverRecordings() {
    const std::string tempVideo = Globals().TempVideoFile();
    if (tempVideo.empty()) return {};
    const std::string own = FolderOf(tempVideo);
    LeftoverScan scan(tempVideo, Globals().TempAudioFile(), Globals().TempNoteFile());
    // This engine's own pair is a recording of its own (running, or ended and being cleaned up).
    scan.Folder(own, "", !recordedHere_ && !workerRunning_);
    std::vector<std::string> claimed = AbandonedTempFolders(own);
    if (const std::string former = FormerTempFolder(); !former.empty()) claimed.push_back(former);
    for (const std::string& folder : claimed)
        if (!scan.Folder(folder, folder + "/", true)) ReleaseEmptied(folder, scan.Names());
    std::vector<LeftoverRecording> found = scan.Found();
    for (LeftoverRecording& entry : found) Measure(entry);
    std::stable_sort(found.begin(), found.end(),
                     [](const LeftoverRecording& a, const LeftoverRecording& b) { return a.time > b.time; });
    return found;
}

bool TScreenCamera::RecoverLeftover(const LeftoverRecording& leftover, const std::string& outputFile) {
    Globals().SaveSucceeded = false;
    const std::vector<std::string> files = leftover.Files();
    if (files.empty()) return false;
    const std::string where = leftover.Where();
    if (workerRunning_) {
        ReportError("An interrupted recording can be saved once the running recording has ended; it is kept in " +
                    where + ".");
        return false;
    }
    for (const std::string& f : files) {
        if (SameFile(f, outputFile)) {
            ReportError("An interrupted recording cannot be saved over its own file " + f + "; choose another name.");
            return false;
        }
    }

    Parts parts = ReadParts(services_.avi, files);
    auto& [streams, saved, unreadable, reason] = parts;
    if (streams.empty()) {
        ReportError("The interrupted recording cannot be read: " + reason + " Nothing was saved; it is kept in " +
                    where + ".");
        return false;
    }

    // The save's rename would pull a file another program holds from under it.
    if (FileLocked(outputFile)) {
        ReportError("The file " + outputFile +
                    " is in use by another program; the interrupted recording was not "
                    "saved into it and is kept in " +
                    where + ".");
        return false;
    }
    const bool withPicture = saved.front() == leftover.videoFile;
    const std::optional<AviCompressOptions> afterwards = withPicture ? AfterRecordOptions(leftover.note) : std::nullopt;
    // Said before the save rather than as its failure.
    if (withPicture) {
        if (const std::string refusal =
                NotStorable(services_.avi, *streams.front(), afterwards ? afterwards->fccHandler : 0, outputFile);
            !refusal.empty()) {
            ReportError(refusal + ". The interrupted recording was not saved; it is kept in " + where + ".");
            return false;
        }
        if (streams.size() > 1 && leftover.note) CutSoundToPicture(streams, leftover.note->mspf);
    }
    std::vector<const AviCompressOptions*> options(streams.size(), nullptr);
    if (afterwards) options.front() = &*afterwards;
    services_.host.SetBusyCursor(true);
    const AviResult r =
        services_.avi.Save(outputFile, streams, options, [this](int percent) { return SaveProgress(percent); });
    services_.host.SetBusyCursor(false);
    streams.clear();  // the files are read no more
    if (r != AVIERR_OK) {
        // A cancel means "not now": the recording stays for the next start too.
        ReportError((r == AVIERR_USERABORT ? std::string("The save was cancelled.") : SaveErrorText(r)) +
                    " The interrupted recording was not saved; it is kept in " + where + ".");
        return false;
    }
    Globals().SaveSucceeded = true;
    ReportSaveSuccess();
    for (const std::string& f : saved) DeleteTempFile(f);
    if (!unreadable.empty()) {
        ReportError(std::string("The interrupted recording was saved without its ") +
                    (withPicture ? "sound" : "picture") + ": " + reason + " That part is kept in " +
                    unreadable.front() + ".");
    } else if (!leftover.noteFile.empty()) {
        RemoveFile(leftover.noteFile);
    }
    return true;
}

bool TScreenCamera::DiscardLeftover(const LeftoverRecording& leftover) {
    bool gone = true;
    for (const std::string& f : leftover.Files())
        if (!DeleteTempFile(f)) gone = false;
    if (gone && !leftover.noteFile.empty()) RemoveFile(leftover.noteFile);
    return gone;
}

}  // namespace tolm
