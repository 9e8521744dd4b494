#include <algorithm>
#include <cmath>
#include <utility>

#include "capture/CaptureGlobals.h"
#include "capture/FrameRepeat.h"
#include "capture/FrameTiming.h"
#include "capture/ScreenCamera.h"
#include "platform/Files.h"
#include "platform/PartFiles.h"
#include "platform/TimerResolution.h"

namespace tolm {
namespace {

// The disk is looked at once a second of recording: a statvfs and two stats, cheap at that pace.
constexpr double kDiskCheckMs = 1000;
// The most the sound is held back into a frame beyond the moment its picture was taken.
constexpr double kSoundIntoFrameMs = 20;
// What a recording says when it starts before the desktop's first picture.
constexpr const char* kAwaitingFirstPicture =
    "The desktop has sent no picture since the sharing began; it sends the first one once something on the "
    "screen changes, and the recording is black until then.";
// A still stretch writes its picture again this often, so a recording cut short by a crash keeps its length
// up to the last second, as the file is brought up to date once a second.
constexpr double kStillRefreshMs = 1000;

// The engine's own view of the disk when it was given one (tests), else the machine's.
std::optional<std::uint64_t> FreeBytesIn(const EngineServices& services, const std::string& folder) {
    return services.freeDiskBytes ? services.freeDiskBytes(folder) : FreeDiskBytes(folder);
}

}  // namespace

ElapsedSplit TScreenCamera::SplitElapsedTime(double t) {
    ElapsedSplit s;
    s.hours = static_cast<int>(std::trunc(t / 3600000.0));
    s.minutes = static_cast<int>(std::trunc((t - 3600000.0 * s.hours) / 60000.0));
    s.seconds = static_cast<int>(std::trunc((t - 3600000.0 * s.hours - 60000.0 * s.minutes) / 1000.0));
    s.milliseconds = static_cast<int>(t - 3600000.0 * s.hours - 60000.0 * s.minutes - 1000.0 * s.seconds);
    return s;
}

void TScreenCamera::StoreElapsed(double elapsedMs) {
    const ElapsedSplit s = SplitElapsedTime(elapsedMs);
    statistics_.SetElapsedTimeText(std::to_string(s.hours) + " : " + std::to_string(s.minutes) + " : " +
                                   std::to_string(s.seconds) + " : " + std::to_string(s.milliseconds));
}

// The recording worker: records, reports a successful save and removes the temporary files.
void TScreenCamera::Execute() {
    SetCurrentThreadName("tolm-record");
    workerThreadId_ = CurrentSystemThreadId();
    SetThreadPriority(workerThreadId_, videoPriority_);
    Globals().SaveSucceeded = false;
    saveFailed_ = false;
    ReportPartlySavedFiles();
    keepCancelled_ = false;
    const std::string output = Globals().OutputFile();
    const std::string folder = FolderOf(output);
    const bool folderExists = !folder.empty() && DirectoryExists(folder);
    if (folderExists && (!OutputUsable(output) || !EnoughDiskSpace(folder))) {
        RestoreAfterFailedStart();  // reported; nothing started, nothing to save
    } else if (folderExists) {
        RecordOutcome outcome;
        do {
            outcome = RecordAVI(output, [this](RecordingSession& session) { RunCaptureLoop(session); });
        } while (outcome == RecordOutcome::retryWithDefault);
        ReportSaveSuccess();
    } else {
        // The system's reason (no such folder, not a folder, no access) said after the message of old.
        std::string text = "Not exist file path.";
        if (std::string problem; !folder.empty() && !FolderWritable(folder, problem))
            text += " The folder of " + output + " cannot be used (" + problem + "); the recording was not started.";
        if (TScreenCamera* camera = Globals().ActiveCamera; camera && camera->OnError) camera->OnError(*camera, text);
        RestoreAfterFailedStart();
    }
    const bool kept = keepCancelled_ ? KeepCancelledRecording() : saveFailed_ && KeepTempFilesForRecovery();
    if (!kept) {
        DeleteTempFile(Globals().TempVideoFile());
        DeleteTempFile(Globals().TempAudioFile());
        RemoveFile(Globals().TempNoteFile());
    }
    workerThreadId_ = 0;
    std::weak_ptr<int> alive = lifeToken_;
    services_.mainThread.Post([this, alive] {
        if (alive.lock()) WorkerFinished();
    });
}

bool TScreenCamera::OutputUsable(const std::string& output) {
    // Found out now rather than at the save, an hour of recording later.
    const std::string folder = FolderOf(output);
    std::string problem;
    if (!FolderWritable(folder, problem)) {
        ReportError("The folder " + folder + " cannot be written (" + problem + "); the recording was not started.");
        return false;
    }
    if (DirectoryExists(output)) {
        ReportError("The output file " + output + " is a folder; the recording was not started.");
        return false;
    }
    if (const std::string problem = OutputFileProblem(output); !problem.empty()) {
        ReportError("The file " + output + " cannot be recorded into (" + problem +
                    "); the recording was not started.");
        return false;
    }
    if (FileLocked(output)) {
        ReportError("The file " + output + " is in use by another program; the recording was not started.");
        return false;
    }
    return true;
}

std::optional<std::uint64_t> TScreenCamera::RoomForRecording(const std::string& folder) {
    std::optional<std::uint64_t> room = FreeBytesIn(services_, folder);
    // A file-size limit ends the larger file's writes as a full disk would.
    if (const std::optional<std::uint64_t> limit = FileSizeLimitBytes()) {
        const std::uint64_t largest =
            std::max(FileSize(Globals().TempVideoFile()), FileSize(Globals().TempAudioFile()));
        const std::uint64_t left = *limit > largest ? *limit - largest : 0;
        if (!room || left < *room) room = left;
    }
    return room;
}

void TScreenCamera::WatchDisk(RecordingSession& session, TDiskWatch& watch, double elapsedMs) {
    const std::string folder = FolderOf(Globals().TempVideoFile());
    if (folder.empty()) return;
    const std::uint64_t recorded =
        FileSize(Globals().TempVideoFile()) + (useAudioRecord_ ? FileSize(Globals().TempAudioFile()) : 0);
    // The index has an entry for every position up to the last one, written or skipped.
    watch.Sample(elapsedMs, recorded, statistics_.frameIndex + 1, RoomForRecording(folder));
    statistics_.freeDiskMb = watch.FreeMB();
    statistics_.secondsLeft = watch.SecondsLeft();
    if (!watch.TooFull() || !Recording()) return;
    session.diskFullReported = true;
    ReportError("Not enough disk space: the recording was stopped with " + std::to_string(watch.FreeMB()) +
                " MB left in " + folder + ".");
    StopRecording();
}

bool TScreenCamera::EnoughDiskSpace(const std::string& outputFolder) {
    const std::string tempFolder = FolderOf(Globals().TempVideoFile());
    const std::optional<std::uint64_t> tempFree =
        tempFolder.empty() ? std::nullopt : FreeBytesIn(services_, tempFolder);
    if (!tempFolder.empty())
        statistics_.freeDiskMb = tempFree ? static_cast<std::int64_t>(*tempFree / TDiskWatch::kMB) : -1;
    const int minimumMb = minimumFreeDiskMb_;
    if (minimumMb <= 0) return true;
    for (const std::string& folder : {tempFolder, outputFolder}) {
        if (folder.empty()) continue;
        const std::optional<std::uint64_t> free = folder == tempFolder ? tempFree : FreeBytesIn(services_, folder);
        if (!free || *free >= static_cast<std::uint64_t>(minimumMb) * TDiskWatch::kMB) continue;
        ReportError("Not enough disk space: " + std::to_string(*free / TDiskWatch::kMB) + " MB free in " + folder +
                    ", at least " + std::to_string(minimumMb) + " MB are needed to start a recording.");
        return false;
    }
    return true;
}

// On the main thread once the worker's routine has returned.
void TScreenCamera::WorkerFinished() {
    if (worker_.joinable()) worker_.join();
    SetRecordingFlag(false);
    workerRunning_ = false;
    SyncHotKeys();
    Raise(OnFinished);
}

void TScreenCamera::WaitWhilePaused(RecordingSession& session) {
    if (!Paused()) return;
    Raise(OnPause);
    // The sound pauses with the picture, or it would run ahead of it by the length of every pause; what the
    // input loses at the pause is made up for against the timeline.
    TStockAudioRecorder* recorder = session.recorder && session.recorder->Active() ? session.recorder.get() : nullptr;
    if (recorder && session.audioLost) recorder = nullptr;  // a lost input has nothing to pause
    session.timeline.Pause(services_.clock.NowMs());
    if (recorder) recorder->SetPaused(true);
    // Woken by every change of the flags instead of spinning on them; which positions are written does not
    // depend on how the wait passes its time.
    flags_.WaitWhilePaused();
    if (recorder) recorder->SetPaused(false);
    session.timeline.Resume(services_.clock.NowMs());
    Raise(OnResume);
}

// What the capture loop carries from one position to the next.
struct TScreenCamera::LoopState {
    int lastWritten = -1;  // the last position written, a repeat included
    int lastInFile = -1;   // the last position whose picture went into the file
    // That picture, for the positions that repeat it.
    std::optional<PackedDib> lastFrame;
    TFrameRepeat repeat;
    double lastWriteTime = 0;
    double lastPassTime = 0;
    double writeDuration = 10;
    double lastUpdate = 0;
    double rate = 0;
    TDiskWatch disk;
    double lastDiskCheck = -kDiskCheckMs;
    bool toldAwaiting = false;  // the user knows the recording is black until the desktop's first picture
};

FrameRecipe TScreenCamera::RecipeFor(const Rect& area) const {
    FrameRecipe recipe;
    recipe.area = area;
    recipe.colors = Colors();
    const TUseFilters filters = UseFilters();
    recipe.filters = filters.Bits();
    const TFilterValues& v = filterValues_;
    recipe.values = {v.ValueColorNoise(), v.ValueMonoNoise(), v.ValuePosterize(),  v.ValueRedColor(),
                     v.ValueGreenColor(), v.ValueBlueColor(), v.ValueSaturation(), v.ValueBrightness(),
                     v.ValueDarkness(),   v.ValueContrast()};
    recipe.rotate = v.TypeScreenRotate();
    recipe.cursor = recordCursor_;
    // What an overlay handler draws is not known here; it may be a clock.
    recipe.varies = filters.Contains(TUseFilter::UseColorNoise) || filters.Contains(TUseFilter::UseMonoNoise) ||
                    (ovelayDrawing_ && static_cast<bool>(OnOverlay));
    return recipe;
}

double TScreenCamera::IntervalMs(const RecordingSession& session) const {
    return TimelineIntervalMs(recordMspf_, session.streamFps);
}

bool TScreenCamera::WaitForPosition(RecordingSession& session, int position) {
    const double due = session.timeline.ClockAt(position * IntervalMs(session));
    return flags_.WaitUntil(services_.clock, due);
}

TScreenCamera::Pass TScreenCamera::CapturePass(RecordingSession& session, LoopState& loop, double elapsed) {
    const Rect area = screenArea_.Bounds();
    // Read per frame, as every other effect is: switching it mid-recording shows from the next frame.
    const bool invert = UseFilters().Contains(TUseFilter::UseReverseColor);
    const double interval = IntervalMs(session);
    // Halves go to the even position, as the timeline has always been cut.
    const int position = static_cast<int>(std::nearbyint(elapsed / interval));
    statistics_.frameIndex = position;
    if (position - loop.lastWritten - 1 > 0) statistics_.droppedFrames += position - loop.lastWritten - 1;
    if (position <= loop.lastWritten) return Pass::discarded;  // the position has its frame
    if (loop.repeat.Unchanged(services_.screen, RecipeFor(area)) && loop.lastFrame) {
        // The position shows the frame before it: the file leaves it empty, as players expect.
        if ((position - loop.lastInFile) * interval >= kStillRefreshMs) {
            if (!WriteFrame(session, position, *loop.lastFrame)) return Pass::ended;
            loop.lastInFile = position;
        }
        NoteWritten(session, loop, position);
        return Pass::written;
    }

    Bitmap preview;
    // The bitmap is made only for a preview that shows it: otherwise a full frame's copy thrown away.
    const bool showPreview = previewWhileRecording_ && OnPreview;
    // A desktop that sends its first picture only once its screen changes is recorded black till then: the
    // recording neither waits nor fails for a screen that did not move, and AreaChanged brings the picture.
    const bool awaiting = services_.screen.AwaitingFirstPicture();
    if (awaiting && !std::exchange(loop.toldAwaiting, true)) ReportError(kAwaitingFirstPicture);
    std::optional<PackedDib> dib =
        awaiting ? BlackFrame(area)
                 : GrabFrame(session.scratch, showPreview ? TCaptureMode::cmBitmapAndDib : TCaptureMode::cmDib,
                             &preview, area, invert);
    if (!dib) {
        ReportGrabFailure();
        return Pass::ended;
    }
    const double writeStart = Recorded(session);
    // The picture was taken somewhere within the grab, and it is seen for a whole frame from its position:
    // the sound meets it half a frame in, so it is never ahead of the picture by more than that. At slow
    // frame rates no more than kSoundIntoFrameMs, or speech would trail what the picture shows.
    const double seenAt = position * interval + std::min(interval / 2, kSoundIntoFrameMs);
    session.timeline.NoteFrame(seenAt, (elapsed + writeStart) / 2);
    if (!WriteFrame(session, position, *dib)) return Pass::ended;
    NoteWritten(session, loop, position);
    loop.writeDuration = loop.lastWriteTime - writeStart;
    loop.lastInFile = position;
    if (showPreview && !awaiting) OnPreview(*this, &preview, true, true);
    loop.lastFrame = std::move(dib);
    return Pass::written;
}

void TScreenCamera::ReportGrabFailure() {
    // The display's reason (a lost connection) tells the user more than the failure alone.
    const std::string detail = LastGrabError();
    std::string text = "Error capturing a frame from screen." + (detail.empty() ? "" : " " + detail);
    if (statistics_.capturedFrames > 0) {
        // What was captured until now is the user's recording: it ends here and is saved, as a stop
        // would save it (a stop or cancel of the user's that came first stands).
        text += " The recording was stopped; what was captured until then is saved.";
        if (Recording()) StopRecording();
    } else {
        Globals().StopReason = TStopReason::Cancel;  // nothing to save
    }
    ReportError(text);
}

void TScreenCamera::NoteWritten(RecordingSession& session, LoopState& loop, int position) {
    ++statistics_.capturedFrames;
    loop.lastWritten = position;
    const double t = Recorded(session);
    if (t - loop.lastWriteTime > 0) loop.rate = 1000.0 / (t - loop.lastWriteTime);
    statistics_.currentFps = std::min(loop.rate, static_cast<double>(playbackFps_));
    loop.lastWriteTime = t;
}

void TScreenCamera::AfterPass(RecordingSession& session, LoopState& loop, double elapsed, bool frameWritten) {
    if (session.audioLost) ReportAudioLoss(session, Recording());
    if (elapsed - loop.lastDiskCheck >= kDiskCheckMs) {
        loop.lastDiskCheck = elapsed;
        WatchDisk(session, loop.disk, elapsed);
    }

    StoreElapsed(elapsed);
    // Reached rather than equal: a pass after a stall (a frozen display, a suspended machine) may come seconds
    // later, past the duration's second.
    const TRecordingDuration duration = RecordingDuration();
    const double durationMs = 1000.0 * (3600.0 * duration.Hours + 60.0 * duration.Minutes + duration.Seconds);
    if (duration.Enabled && durationMs > 0 && elapsed >= durationMs && Recording()) StopRecording();

    const double t = Recorded(session);
    if (t - loop.lastPassTime > 0)
        statistics_.realFps =
            frameWritten ? 1000.0 / (t - loop.lastPassTime) : 1000.0 / (t - loop.lastPassTime + loop.writeDuration);
    loop.lastPassTime = t;

    if (elapsed > updateRate_ + loop.lastUpdate) {
        loop.lastUpdate = elapsed;
        if (session.recorder)
            statistics_.audioClockPpm = session.recorder->ClockDeviationPpm();  // read by the handlers
        Raise(OnUpdate);
    }
}

// One pass per timeline position, at the position's time; in between the worker sleeps.
void TScreenCamera::RunCaptureLoop(RecordingSession& session) {
    // Frames wait on the clock for their positions; on a coarse system tick they would come late by turns.
    const FineTimerResolution fineTimers;
    StoreElapsed(0);
    session.timeline.Start(services_.clock.NowMs());
    LoopState loop;
    while (Recording()) {
        WaitWhilePaused(session);
        if (!WaitForPosition(session, loop.lastWritten + 1)) continue;  // a stop or a pause came first
        // Rates and positions read the timeline, so a pause counts in none of them.
        const double elapsed = Recorded(session);
        const Pass pass = CapturePass(session, loop, elapsed);
        if (pass == Pass::ended) break;
        AfterPass(session, loop, elapsed, pass == Pass::written);
    }
    // A still stretch at the end is held by a last frame, or the file would end where the stretch began.
    if (loop.lastFrame && loop.lastWritten > loop.lastInFile && !session.failure)
        WriteFrame(session, loop.lastWritten, *loop.lastFrame);
    statistics_.secondsLeft = -1;
    statistics_.audioClockPpm = std::numeric_limits<double>::quiet_NaN();
}

}  // namespace tolm
