#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture/CameraTypes.h"
#include "capture/CompressorTable.h"
#include "capture/CompressorTexts.h"
#include "capture/DiskWatch.h"
#include "capture/EngineServices.h"
#include "capture/FrameScratch.h"
#include "capture/RecordingFlags.h"
#include "capture/RecordingNote.h"
#include "capture/RecordingSession.h"
#include "capture/RecordingStatistics.h"
#include "capture/ScreenArea.h"
#include "capture/SoundInputs.h"
#include "effects/FilterValues.h"
#include "imaging/Bitmap.h"
#include "imaging/Geometry.h"
#include "imaging/PackedDib.h"
#include "platform/AudioMixer.h"
#include "platform/AviLibrary.h"
#include "platform/Clock.h"
#include "platform/Host.h"
#include "platform/HotKeys.h"
#include "platform/MainThread.h"
#include "platform/OverlayWindow.h"
#include "platform/ScreenSource.h"
#include "platform/VideoCompressors.h"
#include "platform/WaveInput.h"
#include "platform/WindowLocator.h"
#include "selection/FlashingWnd.h"
#include "selection/FreeHandWnd.h"
#include "selection/HighTimer.h"
#include "selection/SelObjWnd.h"

namespace tolm {

struct FrameRecipe;

// The four numbers of an elapsed time.
struct ElapsedSplit {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int milliseconds = 0;
};

// What the recording does between the creation of the temporary AVI file and its release: the capture loop.
using CaptureLoop = std::function<void(RecordingSession& session)>;

// How one recording attempt ended; after retryWithDefault the worker records again with the default compressor.
enum class RecordOutcome { recorded, abandoned, retryWithDefault };

// The capture engine: records a screen area into an AVI file. Settings are accessor pairs whose setters
// apply the write rules (out-of-range values are ignored silently). Settings are atomics because the user
// interface writes them while a recording worker reads them for every frame. The engine never throws to its
// host: failures reach it as one text through OnError.
class TScreenCamera {
  public:
    explicit TScreenCamera(EngineServices services);
    ~TScreenCamera();
    TScreenCamera(const TScreenCamera&) = delete;
    TScreenCamera& operator=(const TScreenCamera&) = delete;

    // --- Published settings -------------------------------------------------------------------------------
    TTypeRecord RecordType() const { return recordType_; }
    void SetRecordType(TTypeRecord v) { recordType_ = v; }
    int CurrentMonitor() const { return currentMonitor_; }
    void SetCurrentMonitor(int v);  // 1..MonitorCount()
    bool RecordAllMonitors() const { return recordAllMonitors_; }
    void SetRecordAllMonitors(bool v) { recordAllMonitors_ = v; }
    int UpdateRate() const { return updateRate_; }
    void SetUpdateRate(int v);  // 1..500 ms
    int PlayBack_FPS() const { return playbackFps_; }
    void SetPlayBack_FPS(int v);  // 1..1000
    int Record_MSPF() const { return recordMspf_; }
    void SetRecord_MSPF(int v);  // 1..1000 ms
    int KeyFramesEvery() const { return keyFramesEvery_; }
    void SetKeyFramesEvery(int v) { keyFramesEvery_ = v; }
    int CompressionQuality() const { return compressionQuality_; }
    void SetCompressionQuality(int v);  // 1..10000
    // pf15bit is stored as pf16bit; formats without a storage of their own as pf32bit.
    TPixelFormat Colors() const { return colors_; }
    void SetColors(TPixelFormat v) { colors_ = NormalizePixelFormat(v); }
    int BitCount() const { return BitsPerPixel(colors_); }
    TColor RegionColor1() const { return regionColor1_; }
    void SetRegionColor1(TColor v) { regionColor1_ = v; }
    TColor RegionColor2() const { return regionColor2_; }
    void SetRegionColor2(TColor v) { regionColor2_ = v; }
    int SelectedCompressor() const { return selectedCompressor_; }
    void SetSelectedCompressor(int v) { selectedCompressor_ = v; }
    bool UseAudioRecord() const { return useAudioRecord_; }
    void SetUseAudioRecord(bool v) { useAudioRecord_ = v; }
    bool RecordCursor() const { return recordCursor_; }
    void SetRecordCursor(bool v) { recordCursor_ = v; }
    bool DrawAreaCapture() const { return drawAreaCapture_; }
    void SetDrawAreaCapture(bool v) { drawAreaCapture_ = v; }
    bool LineRectClear() const { return lineRectClear_; }
    void SetLineRectClear(bool v) { lineRectClear_ = v; }
    bool MinimizeAppOnStart() const { return minimizeAppOnStart_; }
    void SetMinimizeAppOnStart(bool v) { minimizeAppOnStart_ = v; }
    bool RestoreAppOnStop() const { return restoreAppOnStop_; }
    void SetRestoreAppOnStop(bool v) { restoreAppOnStop_ = v; }
    TThreadPriority VideoPriority() const { return videoPriority_; }
    // A running recording worker takes the new priority at once.
    void SetVideoPriority(TThreadPriority v);
    // A recording starts only with this much free space (MB) in the output and temporary folders; 0: no check.
    int MinimumFreeDiskMB() const { return minimumFreeDiskMb_; }
    void SetMinimumFreeDiskMB(int v) { minimumFreeDiskMb_ = v < 0 ? 0 : v; }
    bool OvelayDrawing() const { return ovelayDrawing_; }
    void SetOvelayDrawing(bool v) { ovelayDrawing_ = v; }
    bool EffectToOvelayDraw() const { return effectToOvelayDraw_; }
    void SetEffectToOvelayDraw(bool v) { effectToOvelayDraw_ = v; }

    // The owned area and filter values; clients edit their fields in place.
    TScreenArea& ScreenArea() { return screenArea_; }
    const TScreenArea& ScreenArea() const { return screenArea_; }
    TFilterValues& FilterValues() { return filterValues_; }
    const TFilterValues& FilterValues() const { return filterValues_; }

    TUseFilters UseFilters() const { return TUseFilters::FromBits(useFilters_.load()); }
    // Of the two noise kinds, the one being added replaces the one already set.
    void SetUseFilters(TUseFilters v);

    // --- Events -------------------------------------------------------------------------------------------
    TSCErrorEvent OnError;
    TSCEvent OnUpdate;
    TSCEvent OnStart;
    TSCEvent OnStop;
    TSCEvent OnPause;
    TSCEvent OnResume;
    TPreviewEvent OnPreview;
    TSaveEvent OnSaving;
    TSaveEvent OnDeleting;
    TOverlayEvent OnOverlay;
    // On the main thread once the recording worker has ended, its save and deletions included: from here a
    // new recording can start.
    TSCEvent OnFinished;

    // --- Recording control (main thread) -------------------------------------------------------------------
    // Starts or stops the preview: the area timer then follows the area, blinks the frame and delivers
    // preview images through OnPreview.
    void SetPreview(bool value);
    // True when the recording worker was started now; false when a recording runs already, when the last
    // recording's worker has not finished (OnFinished tells when it has) or when the start waits for the user to
    // pick the area (it then starts once the pick is confirmed).
    bool StartRecording(const std::string& fileName);
    void StopRecording();
    void PauseRecording();
    void ResumeRecording();
    // The area timer's tick: area, pickers, frame window, preview.
    void AreaTimerTick();
    // What the four global keys do; also callable directly (the main window's buttons use the same paths).
    void HotKeyPressed(HotKey key);
    // True from StartRecording until the worker has finished (including its save and deletions).
    bool WorkerRunning() const { return workerRunning_; }
    static ElapsedSplit SplitElapsedTime(double milliseconds);

    // --- Run-time state -----------------------------------------------------------------------------------
    bool Preview() const { return preview_; }
    bool Recording() const { return flags_.Recording(); }
    bool Paused() const { return flags_.Paused(); }
    TRecordingDuration RecordingDuration() const;
    void SetRecordingDuration(const TRecordingDuration& d);
    int CapturedFrames() const { return statistics_.capturedFrames; }
    int DroppedFrames() const { return statistics_.droppedFrames; }
    int FrameIndex() const { return statistics_.frameIndex; }
    double CurrentFPS() const { return statistics_.currentFps; }
    double RealFPS() const { return statistics_.realFps; }
    std::string ElapsedTimeText() const { return statistics_.ElapsedTimeText(); }
    std::string VideoCodecName() const { return statistics_.VideoCodecName(); }
    // The room left for the recording's files in the temporary folder, in MB, measured once a second while
    // recording (and at the start); -1 when unknown.
    std::int64_t FreeDiskMB() const { return statistics_.freeDiskMb; }
    // Seconds of recording at the current pace before the recording stops for lack of disk space; -1 when
    // unknown or when no recording runs.
    std::int64_t RecordingSecondsLeft() const { return statistics_.secondsLeft; }
    // How far the sound input's clock runs from the system clock while recording with sound, in parts per
    // million (positive: fast); NaN when unknown. The sound is held to the picture either way.
    double AudioClockPpm() const { return statistics_.audioClockPpm; }

    // --- Monitors -----------------------------------------------------------------------------------------
    int MonitorCount() const;
    // With RecordAllMonitors the virtual desktop, otherwise monitor CurrentMonitor (1-based).
    Point GetMonitorOrigin() const;
    Point GetMonitorSize() const;  // x = width, y = height
    // Sets the area's rectangle (not its region) to the one of GetMonitorOrigin/GetMonitorSize.
    void SetFullScreenArea();
    // Why the area cannot be recorded now (no pixels, too large for a frame, wholly off the screen); empty when
    // it can. A start refuses such an area before its first grab.
    std::string AreaProblem() const;
    // Width and height of the primary monitor, read once when the engine was created.
    int DesktopWidth() const { return desktopWidth_; }
    int DesktopHeight() const { return desktopHeight_; }

    // --- Frame grab ---------------------------------------------------------------------------------------
    // Turns one rectangle of the screen into a finished frame: screen copy (inverted when `invert`), cursor,
    // overlay, the Colors format, the enabled effects and the rotation. In the bitmap modes `target` receives
    // the frame in the Colors format; in the DIB modes the packed DIB is returned. No DIB comes back when the
    // screen cannot be read or the DIB cannot be made.
    std::optional<PackedDib> CaptureFrame(TCaptureMode mode, Bitmap* target, int left, int top, int width, int height,
                                          bool invert);
    // The display's own message for the last grab that failed, for hosts that can show details.
    std::string LastGrabError() const { return statistics_.LastGrabError(); }

    // --- Compressors --------------------------------------------------------------------------------------
    // Rebuilds the list of compressors that accept frames of the current area and colour depth.
    std::vector<std::string> GetVideoCodecList();
    std::vector<std::string> CompressorList() const { return compressorTable_.List(); }
    int CompressorCount() const { return compressorTable_.Count(); }
    CompressorInfo CompressorInfos(int index) const { return compressorTable_.Info(index); }
    void CompressorAbout(int index);
    void CompressorConfigure(int index);
    struct CompressorFeatures {
        bool hasAbout = false;
        bool hasConfigure = false;
    };
    CompressorFeatures GetCompressorFeatures(int index);
    std::uint32_t CurrentCompressor() const { return currentCompressor_; }

    // --- Sound (main thread) -------------------------------------------------------------------------------
    // The texts of the twenty stock formats; the first call chooses the recorder's default format.
    std::vector<std::string> GetAudioFormatList();
    std::vector<std::string> AudioFormatList() const { return audioFormatList_; }
    // The stock format of the next recording's sound, minus 1 (0..19).
    int AudioFormatIndex() const { return audioFormatIndex_; }
    void SetAudioFormatIndex(int v);
    // Rebuilds the inputs of the recording mixer: its source lines, then its destination line.
    std::vector<std::string> GetAudioInputList() { return soundInputs_.Rebuild(); }
    std::vector<std::string> AudioInputList() const { return soundInputs_.Names(); }
    TGetAudioInfo AudioInputLines() const { return soundInputs_.Lines(); }
    // The selected source line, -1 when the mixer reports none.
    int AudioInputIndex() const { return soundInputs_.SelectedIndex(); }
    // Makes the named source line the one recorded.
    void SelectAudioInput(const std::string& lineName) { soundInputs_.Select(lineName); }
    // Sets the named line's volume in percent (clamped to 0..100).
    void SetAudioInputVolume(const std::string& lineName, int volume) { soundInputs_.SetVolume(lineName, volume); }

    // --- Interrupted recordings (main thread) ---------------------------------------------------------------
    // What an interrupted recording left in the temporary folder: the files of a killed recorder, or a pair put
    // aside ("unsaved-...") after a failed save or a cancel by the Escape key. Either file may be missing.
    struct LeftoverRecording {
        std::string videoFile;  // empty: only the sound is left
        std::string audioFile;  // empty: no sound
        std::string noteFile;   // empty: a recording of an earlier version, which wrote none
        std::optional<RecordingNote> note;
        std::uint64_t bytes = 0;
        double seconds = -1;    // the picture's length, else the sound's; -1 when neither can be read
        std::int64_t time = 0;  // last written, seconds since the epoch
        bool readable = false;  // a part holds a whole frame or sample
        // "12.3 MB, about 42 s, with sound, last written 2024-05-01 14:03"
        std::string Description() const;
        // The picture's and the sound's files that are there, and "A and B" of them.
        std::vector<std::string> Files() const;
        std::string Where() const;
    };
    // Every interrupted recording in the temporary folder, newest first; never this engine's own. The folders of
    // further recorders that ended without cleaning up (killed) are looked at too.
    std::vector<LeftoverRecording> LeftoverRecordings();
    // Saves one into `outputFile` (replacing it) and deletes its files once saved: picture and sound joined as
    // they were recorded or, where its note says so, as the save after the recording would have made them (the
    // sound cut to the picture, a recording to compress afterwards compressed). A part that cannot be read is
    // left out, kept and reported. False, with the reason reported and every file kept, when nothing was saved;
    // Globals().SaveSucceeded tells the same.
    bool RecoverLeftover(const LeftoverRecording& leftover, const std::string& outputFile);
    // Deletes its files as the clean-up after a recording does; true when they are gone.
    bool DiscardLeftover(const LeftoverRecording& leftover);
    // The Escape key ends a recording without a save, but any program's user may press it (to close a menu of
    // the program being recorded): the recording is put aside as an interrupted one instead of deleted. This is
    // it, until another recording starts or the host takes it to save or discard. Main thread, while no worker
    // runs.
    std::optional<LeftoverRecording> CancelledRecording() const;
    std::optional<LeftoverRecording> TakeCancelledRecording();
    // A cancel that only this program's own user can have given (tolm-record's second Ctrl+C): as the Escape
    // key, but what was recorded is deleted.
    void CancelRecording();

  private:
    // Tests drive the worker's steps directly.
    friend struct EngineTestAccess;

    // Recording into the temporary AVI file and the save (recording worker).
    // One recording into `outputFile`: settles the compressor, creates the temporary file, runs `loop`,
    // releases the video objects and saves.
    RecordOutcome RecordAVI(const std::string& outputFile, const CaptureLoop& loop);
    // Writes one frame at a timeline position; a failure is reported and ends the recording.
    bool WriteFrame(RecordingSession& session, int position, const PackedDib& dib);
    // Deletes a file with retries, reporting through OnDeleting; true when the file is gone.
    bool DeleteTempFile(const std::string& fileName);
    // After a save that failed or was cancelled: renames the temporary files so nothing deletes them and tells
    // the user where they are. False when there was nothing to keep.
    bool KeepTempFilesForRecovery(const std::string& reason = "The recording was not saved");
    // Renames the temporary files and their note out of the way of the next recording ("unsaved-<time>-...");
    // what was kept, nothing when there was nothing to keep.
    LeftoverRecording PutTempFilesAside();
    // After a recording ended by the Escape key: its files put aside, as CancelledRecording tells.
    bool KeepCancelledRecording();
    // The note beside the temporary files of the recording about to start.
    void WriteRecordingNote();
    // Size, length, time and readability of the files of one, read from disk.
    void Measure(LeftoverRecording& leftover);
    // Joins the temporary streams into the output file (the save of a recording ended for saving);
    // `tempFileWhole`: the temporary video file was finished without fault.
    void SaveRecording(bool tempFileWhole);
    // Tells OnSaving that the last save succeeded ("Saving Success..."), when it did.
    void ReportSaveSuccess();
    // At the start: the part files saves that were killed left beside their outputs go when the recording they
    // were made from is kept; one that may be all there is of it stays, named by ReportPartlySavedFiles.
    void ClearInterruptedSaves();
    void ReportPartlySavedFiles();

    // Recording control
    void SetRecordingFlag(bool value);
    void SetPausedFlag(bool value);
    // Holds the global keys exactly while something of ours acts on them: a preview, a recording or a pick.
    void SyncHotKeys();
    // Ends a recording from a stop or cancel key; a question still open about its start is answered no.
    void EndRecordingByKey();
    // The Escape key's work; `keep`: what was recorded is put aside rather than deleted.
    void Cancel(bool keep);
    // A start that never came to record: the window the start minimised comes back.
    void RestoreAfterFailedStart();
    // The worker's recording was ended by the user's stop or cancel (a key, possibly while a question was open).
    bool EndedByUser() const { return workerRunning_ && !Recording(); }
    void RewritePreview();
    void SetAreaFlagsFromRegion();
    void EnsureAreaTimer();
    void EndAreaTracking();
    void OnMainThread(std::function<void()> fn);
    void DrawFrameWindow(double previewElapsed);
    void DeliverPreviewImage();
    void FollowMouse();
    void ClipToBounds();
    bool PickFreeHandArea();
    bool PickObjectArea();
    bool FinishPick(const Rect& picked);
    // The recording worker
    void Execute();
    void WorkerFinished();
    void RunCaptureLoop(RecordingSession& session);
    // False, with the reason reported, when the output or temporary folder is nearly full.
    bool EnoughDiskSpace(const std::string& outputFolder);
    // False, with the reason reported, when the output folder cannot be written or the output file is held
    // by another program, or when the output names a folder: found out before anything is recorded.
    bool OutputUsable(const std::string& output);
    // Bytes that can still be written for the recording into `folder`: its free space, less when the
    // process's file-size limit is nearer for the larger temporary file.
    std::optional<std::uint64_t> RoomForRecording(const std::string& folder);
    // The once-a-second look at the disk during a recording: statistics, and the stop when it is too full.
    void WatchDisk(RecordingSession& session, TDiskWatch& watch, double elapsedMs);
    // Reports a sound input that broke off, once; `goesOn`: the recording goes on without it.
    void ReportAudioLoss(RecordingSession& session, bool goesOn);
    void WaitWhilePaused(RecordingSession& session);
    // The capture loop's passes
    struct LoopState;
    enum class Pass { written, discarded, ended };
    double Recorded(const RecordingSession& session) const { return session.timeline.At(services_.clock.NowMs()).ms; }
    // Milliseconds between two timeline positions of the recording.
    double IntervalMs(const RecordingSession& session) const;
    // Waits for the time of a timeline position; false when a stop or a pause ended the wait first.
    bool WaitForPosition(RecordingSession& session, int position);
    Pass CapturePass(RecordingSession& session, LoopState& loop, double elapsed);
    void NoteWritten(RecordingSession& session, LoopState& loop, int position);
    void AfterPass(RecordingSession& session, LoopState& loop, double elapsed, bool frameWritten);
    void ReportGrabFailure();
    FrameRecipe RecipeFor(const Rect& area) const;
    // Sound
    static std::vector<std::string> StockFormatTexts();
    void StartAudio(RecordingSession& session);
    void StopAudio(RecordingSession& session);
    void StoreElapsed(double elapsedMs);

    enum class Settled { create, ended };
    // True, with the reason reported and the start ended, when there is nowhere to record to or no area to record.
    bool RefusedBeforeSettling();
    enum class Fitted { accepted, refused, grabFailed };
    Settled SettleCompressor(RecordingSession& session);
    Settled AdjustSizeForCompressor(RecordingSession& session, const CompressorInfo& selected);
    Fitted FitAreaToCompressor(RecordingSession& session);
    Settled ChooseDefaultCompressor(RecordingSession& session);
    Settled AbortRecording(RecordingSession& session);
    Settled EndSettling(const std::string& error);
    Settled CheckOutputTakesVideo(RecordingSession& session);
    void CreateTempAvi(RecordingSession& session);
    void ReleaseVideo(RecordingSession& session);
    // A write that failed once frames were in the file: the recording ends and is saved from what was written.
    void EndAfterWriteFailure(RecordingSession& session, AviResult result);
    static bool FileHoldsFrames(const RecordingSession& session);
    RecordOutcome RecordingResult(RecordingSession& session);
    RecordOutcome WindDown();
    void OpenTempStream(const std::string& fileName, std::shared_ptr<AviStream>& slot);
    // `wholeFile`: a finished file that holds `streams` as the save would write them, to be moved into place.
    bool SaveAVI(const std::string& fileName, const std::vector<std::shared_ptr<AviStream>>& streams,
                 const std::string& wholeFile = {});
    AviResult MoveIntoPlace(const std::string& from, const std::string& to);
    int SaveProgress(int percent);
    bool ReportDeleting(int percent, const std::string& caption);

    Rect MonitorBounds() const;
    // CaptureFrame with the working images of the calling thread.
    std::optional<PackedDib> GrabFrame(FrameScratch& scratch, TCaptureMode mode, Bitmap* target, const Rect& area,
                                       bool invert);
    // The settling's probe: a grab, or a black frame while the desktop has sent no picture yet (only its format
    // matters).
    std::optional<PackedDib> ProbeFrame(FrameScratch& scratch, const Rect& area, bool invert);
    // A black frame of `area` in the recording's colours: what a desktop that has sent no picture yet shows.
    std::optional<PackedDib> BlackFrame(const Rect& area);
    // A 32-bit frame that nothing changes after the grab: screen and cursor straight into the DIB's rows.
    std::optional<PackedDib> CaptureIntoDib(TCaptureMode mode, Bitmap* target, const Rect& area);
    // A DIB that could not be made or filled cancels the recording, with the reason through OnError.
    void PackingFailed(PackedDib::Error error);
    // Packs a working image; a failure cancels a running recording and is reported through OnError.
    std::optional<PackedDib> BitmapToDIB(const Bitmap& image, int bits);
    void RunEffects(Bitmap& frame);
    void ReportError(const std::string& text);
    void Raise(const TSCEvent& event);

    EngineServices services_;

    std::atomic<TTypeRecord> recordType_{TTypeRecord::CompressOnFly};
    std::atomic<int> currentMonitor_{1};
    std::atomic<bool> recordAllMonitors_{false};
    std::atomic<int> updateRate_{250};
    std::atomic<int> playbackFps_{50};
    std::atomic<int> recordMspf_{20};
    std::atomic<int> keyFramesEvery_{300};
    std::atomic<int> compressionQuality_{10000};
    std::atomic<TPixelFormat> colors_{TPixelFormat::pf32bit};
    std::atomic<TColor> regionColor1_{clRed};
    std::atomic<TColor> regionColor2_{clLime};
    std::atomic<int> selectedCompressor_{-1};
    std::atomic<bool> useAudioRecord_{false};
    std::atomic<bool> recordCursor_{true};
    std::atomic<bool> drawAreaCapture_{true};
    std::atomic<bool> lineRectClear_{true};
    std::atomic<bool> minimizeAppOnStart_{true};
    std::atomic<bool> restoreAppOnStop_{true};
    std::atomic<TThreadPriority> videoPriority_{TThreadPriority::tpNormal};
    std::atomic<bool> ovelayDrawing_{false};
    std::atomic<int> minimumFreeDiskMb_{100};
    std::atomic<bool> effectToOvelayDraw_{false};
    TScreenArea screenArea_;
    TFilterValues filterValues_;
    std::atomic<std::uint16_t> useFilters_{0};

    std::atomic<bool> preview_{false};
    RecordingFlags flags_;
    RecordingStatistics statistics_;

    mutable std::mutex durationMutex_;
    TRecordingDuration recordingDuration_;

    CompressorTable compressorTable_;
    static constexpr std::uint32_t kDefaultCompressor = MakeFourCC('M', 'S', 'V', 'C');
    std::atomic<std::uint32_t> currentCompressor_{0};
    std::atomic<bool> usingDefaultCompressor_{false};
    std::atomic<bool> saveFailed_{false};  // the last save did not make the output: the recording is kept
    // The running recording was ended by the Escape key, and (once it has ended) recorded frames to keep.
    std::atomic<bool> cancelledByEscape_{false};
    std::atomic<bool> keepCancelled_{false};
    // Written by the worker before its end is posted; read and cleared on the main thread while none runs.
    std::optional<LeftoverRecording> cancelled_;
    // Set once this engine has started a recording: only then are the temporary files its own to delete.
    std::atomic<bool> recordedHere_{false};
    // Part files of killed saves kept by ClearInterruptedSaves, until the first worker names them.
    std::vector<std::string> partlySaved_;

    // Made once: the stock formats never change.
    const std::vector<std::string> audioFormatList_ = StockFormatTexts();
    std::atomic<int> audioFormatIndex_{-1};
    SoundInputs soundInputs_{services_.mixers};

    // The working images of grabs outside a recording (the preview's, a host's); a second such grab at the same
    // time makes its own.
    std::mutex callerScratchMutex_;
    FrameScratch callerScratch_;
    // Frames handed to the stream come back here when their owner is done with them.
    std::shared_ptr<BufferPool> dibPool_ = BufferPool::Create(3);

    int desktopWidth_ = 0;
    int desktopHeight_ = 0;

    // Recording control. The area flags and timer values belong to the main thread; the worker reads only
    // previewWhileRecording_.
    std::unique_ptr<THighTimer> areaTimer_;
    std::unique_ptr<TFlashingWnd> frameWindow_;
    TColor frameColor_ = clRed;
    bool pickObjectPending_ = false;
    bool pickFreeHandPending_ = false;
    bool followMouse_ = false;
    bool followFullScreen_ = false;
    std::atomic<bool> previewWhileRecording_{false};
    double previewStart_ = 0;
    double lastColorChange_ = 0;
    double lastPreviewUpdate_ = 0;
    TFreeHandWindow* freeHandPicker_ = nullptr;
    TSelObjWindow* objectPicker_ = nullptr;
    THighTimer* objectPickerTimer_ = nullptr;
    int objectPickerResult_ = 0;
    bool hotKeysHeld_ = false;

    // The recording worker.
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<SystemThreadId> workerThreadId_{0};
    // Work posted to the main thread runs only while the engine lives.
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
};

}  // namespace tolm
