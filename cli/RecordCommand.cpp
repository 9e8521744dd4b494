#include "cli/RecordCommand.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "capture/CaptureGlobals.h"
#include "cli/AudioCommands.h"
#include "cli/Backends.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/ThreadPriority.h"

namespace tolm::cli {
namespace {

// One status line, rewritten in place; messages print on lines of their own.
class StatusLine {
  public:
    void Show(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "\r%-78s", text.c_str());
        std::fflush(stderr);
        open_ = true;
    }
    void Message(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "%s%s\n", open_ ? "\n" : "", text.c_str());
        open_ = false;
    }
    void End() {
        std::lock_guard lock(mutex_);
        if (open_) std::fputc('\n', stderr);
        open_ = false;
    }

  private:
    std::mutex mutex_;
    bool open_ = false;
};

// A recording stuck where nothing can interrupt it (a display that is frozen rather than gone keeps a grab,
// and the main thread's frame drawing, waiting for ever) must not hold the user: once cancelled it gets a
// while to end, then the program leaves it. Its temporary files are brought up to date every second, so
// --recover saves what was recorded. Watched from a thread of its own, as the main thread may be the stuck one.
class CancelWatchdog {
  public:
    static constexpr std::chrono::seconds kLimit{10};

    CancelWatchdog() : thread_([this] { Run(); }) {}
    ~CancelWatchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    CancelWatchdog(const CancelWatchdog&) = delete;
    CancelWatchdog& operator=(const CancelWatchdog&) = delete;

    void Cancelled() {
        {
            std::lock_guard lock(mutex_);
            if (!deadline_) deadline_ = std::chrono::steady_clock::now() + kLimit;
        }
        changed_.notify_all();
    }
    // The cancel reached the work it was meant for (a save heard it), which ends by itself; a further cancel
    // starts the time again.
    void Heard() {
        {
            std::lock_guard lock(mutex_);
            deadline_.reset();
        }
        changed_.notify_all();
    }

  private:
    void Run() {
        SetCurrentThreadName("tolm-watchdog");
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return done_ || deadline_; });
            if (done_) return;
            const auto deadline = *deadline_;
            if (!changed_.wait_until(lock, deadline, [&] { return done_ || deadline_ != deadline; })) break;
        }
        std::fprintf(stderr,
                     "\ntolm-record: The recording does not end (a display, device or disk does not answer); "
                     "leaving it. What was recorded stays for tolm-record --recover.\n");
        // The worker cannot be joined nor its objects released while it waits inside them.
        std::_Exit(1);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::thread thread_;  // last: starts once the rest is set up
};

// "  812 MB free, 14 min left": the room for the recording and how long it lasts at the current pace.
std::string DiskText(const TScreenCamera& camera) {
    const std::int64_t mb = camera.FreeDiskMB();
    if (mb < 0) return {};
    std::string text = "  " + (mb >= 10240 ? std::to_string(mb / 1024) + " GB" : std::to_string(mb) + " MB") + " free";
    const std::int64_t s = camera.RecordingSecondsLeft();
    if (s < 0) return text;
    if (s < 60) return text + ", " + std::to_string(s) + " s left";
    if (s < 3600) return text + ", " + std::to_string(s / 60) + " min left";
    return text + ", " + std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min left";
}

// "  sound clock +35 ppm": how far the sound input's clock runs from the system's, once it is known.
std::string SoundClockText(const TScreenCamera& camera) {
    const double ppm = camera.AudioClockPpm();
    if (std::isnan(ppm)) return {};
    char text[48];
    std::snprintf(text, sizeof text, "  sound clock %+.0f ppm", ppm);
    return text;
}

bool PrepareCompressor(const Options& options, Session& session, std::string& error) {
    if (options.codec == "none") return true;
    const std::string fourcc = options.codec.empty() ? DefaultCodecFor(options.outputFile) : options.codec;
    if (session.SelectCompressor(fourcc)) return true;
    error = "No compressor " + fourcc + " on this machine takes these frames. Try --list-codecs.";
    return false;
}

}  // namespace

int ListCodecsCommand(const Options& options) {
    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    TScreenCamera& camera = session->Camera();
    const Rect area = camera.ScreenArea().Bounds();
    camera.GetVideoCodecList();
    std::printf("Compressors for %dx%d frames at %d bits:\n", area.width, area.height, camera.BitCount());
    for (int i = 0; i < camera.CompressorCount(); ++i) {
        const CompressorInfo info = camera.CompressorInfos(i);
        std::printf("  %s  %-16s %s\n", FourCCToString(info.fccHandler).c_str(), info.szName.c_str(),
                    info.szDescription.c_str());
    }
    return 0;
}

int ListMonitorsCommand(const Options& options) {
    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    TScreenCamera& camera = session->Camera();
    std::printf("Monitors of the %s screen (the first is the primary):\n", ScreenBackendName(session->Backend()));
    const int chosen = camera.CurrentMonitor();
    for (int i = 1; i <= camera.MonitorCount(); ++i) {
        camera.SetCurrentMonitor(i);
        const Point origin = camera.GetMonitorOrigin();
        const Point size = camera.GetMonitorSize();
        std::printf("  %d  %dx%d at %d,%d\n", i, size.x, size.y, origin.x, origin.y);
    }
    camera.SetCurrentMonitor(chosen);
    return 0;
}

int RecordCommand(const Options& options) {
    StatusLine status;
    std::atomic<Session*> active{nullptr};
    // Made once the interrupts are watched, like every thread; the watcher finds it through `watching`.
    std::optional<CancelWatchdog> watchdog;
    std::atomic<CancelWatchdog*> watching{nullptr};
    // Once the save has begun, a further interrupt cancels the save alone: the recording is kept for --recover.
    std::atomic<bool> saving{false};
    std::atomic<bool> cancelSave{false};
    std::atomic<bool> saveCancelled{false};
    // Before any thread starts, so that every thread leaves the signals to it.
    InterruptWatcher interrupts([&](int count) {
        if (CancelWatchdog* w = watching.load(); w && count >= 2) w->Cancelled();
        if (count >= 2) cancelSave = true;  // also for a save that begins before the cancel below arrives
        if (saving) {
            std::fprintf(stderr, count == 1 ? "\nSaving; interrupt again to cancel the save and keep the recording.\n"
                                            : "\nCancelling the save; the recording is kept.\n");
            return;
        }
        Session* s = active.load();
        if (!s) return;
        // Unlike the Escape key, which may have been meant for another program, a second interrupt typed into this
        // program's terminal means the recording is not wanted.
        s->Loop().Post([s, count] {
            if (count == 1)
                s->Camera().HotKeyPressed(HotKey::ShiftEscape);
            else
                s->Camera().CancelRecording();
        });
        if (count == 1) std::fprintf(stderr, "\nStopping; interrupt again to cancel without saving.\n");
    });
    watching = &watchdog.emplace();

    std::unique_ptr<Session> session = Session::OpenOrReport(options);
    if (!session) return 1;
    std::string error;
    // Said for what it is, before a compressor is looked for that takes no such frames.
    if (const std::string problem = session->Camera().AreaProblem(); !problem.empty()) {
        std::fprintf(stderr, "tolm-record: %s.\n", problem.c_str());
        return 2;
    }
    if (!PrepareCompressor(options, *session, error)) {
        std::fprintf(stderr, "tolm-record: %s\n", error.c_str());
        return 2;
    }
    TScreenCamera& camera = session->Camera();
    if (!SelectAudioInput(options, camera, error)) {
        std::fprintf(stderr, "tolm-record: %s\n", error.c_str());
        return 2;
    }
    // Messages of a recording that was saved all the same mean it is not what was asked for (cut short by a
    // fault, without its sound from some point): such a run ends with 3 instead of 0.
    std::atomic<int> messages{0};
    std::atomic<bool> started{false};
    camera.OnError = [&](TScreenCamera&, const std::string& text) {
        if (started) ++messages;  // not the notices before it (a leftover recording put aside)
        status.Message("tolm-record: " + text);
    };
    camera.OnUpdate = [&](TScreenCamera& c) {
        char line[160];
        std::snprintf(line, sizeof line, "%s  %d frames, %d dropped, %.1f fps (loop %.1f/s)%s",
                      c.ElapsedTimeText().c_str(), c.CapturedFrames(), c.DroppedFrames(), c.CurrentFPS(), c.RealFPS(),
                      c.Paused() ? "  paused" : "");
        status.Show(line + DiskText(c) + SoundClockText(c));
    };
    camera.OnStart = [&](TScreenCamera& c) {
        started = true;
        const Rect a = c.ScreenArea().Bounds();
        status.Message(
            "Recording " + std::to_string(a.width) + "x" + std::to_string(a.height) + " at (" + std::to_string(a.left) +
            "," + std::to_string(a.top) + ") with " + c.VideoCodecName() +
            (c.UseAudioRecord() ? " and sound (" + c.AudioFormatList()[c.AudioFormatIndex()] + ")" : "") +
            (session->HasDesktop() ? "; Shift+Esc or Ctrl+C stops, Esc cancels, Pause pauses." : "; Ctrl+C stops."));
    };
    camera.OnPause = [&](TScreenCamera&) { status.Show("Paused (Pause key resumes)"); };
    camera.OnSaving = [&](TScreenCamera&, int percent, const std::string& caption, bool& go) {
        saving = true;
        if (cancelSave) {
            go = false;
            saveCancelled = true;
            if (CancelWatchdog* w = watching.load()) w->Heard();
            return;
        }
        if (percent % 10 == 0) status.Show(caption + " " + std::to_string(percent) + "%");
    };

    // Said, not asked: a time-lapse with sound may well be meant.
    if (const std::string notice = SoundSpeedNotice(camera); !notice.empty())
        std::fprintf(stderr, "tolm-record: %s\n", notice.c_str());
    const std::string output = AbsolutePath(options.outputFile);
    active = session.get();
    if (!camera.StartRecording(output)) {
        active = nullptr;
        std::fprintf(stderr, "tolm-record: the recording could not start.\n");
        return 1;
    }
    while (camera.WorkerRunning())
        session->Loop().RunUntil([&] { return !camera.WorkerRunning(); }, std::chrono::hours(1));
    active = nullptr;
    status.End();
    if (const auto kept = camera.CancelledRecording()) {
        std::fprintf(stderr, "tolm-record: The recording was cancelled; it is kept in %s for tolm-record --recover.\n",
                     kept->Where().c_str());
        return 1;
    }
    if (!Globals().SaveSucceeded) {
        // A recording refused before its start has said why already; nothing was recorded to lose.
        if (started) std::fprintf(stderr, "tolm-record: nothing was saved.\n");
        if (saveCancelled)
            std::fprintf(stderr, "tolm-record: tolm-record --recover %s saves the recording.\n", output.c_str());
        return 1;
    }
    std::printf("Saved %s (%d frames, %d dropped)\n", output.c_str(), camera.CapturedFrames(), camera.DroppedFrames());
    return messages > 0 ? 3 : 0;
}

}  // namespace tolm::cli
