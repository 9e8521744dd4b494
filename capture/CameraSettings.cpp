#include <algorithm>

#include "capture/AreaCheck.h"
#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"
#include "platform/Files.h"

namespace tolm {

TScreenCamera::TScreenCamera(EngineServices services) : services_(services) {
    const std::vector<Rect> monitors = services_.screen.Monitors();
    if (!monitors.empty()) {
        desktopWidth_ = monitors.front().width;
        desktopHeight_ = monitors.front().height;
    }
    if (Globals().TempVideoFile().empty() && Globals().TempFolderError().empty()) {
        std::string error;
        const std::string folder = InstanceTempFolder(error);
        Globals().SetTempFolder(folder, error);
    }
    // Files an earlier run could not delete (held by another program then) go now.
    RunDeletionsAtStart();
    ClearInterruptedSaves();
    GetAudioFormatList();
    GetAudioInputList();
    // A client may choose a compressor by its index before anything asked for the list.
    GetVideoCodecList();
    // The keys themselves are taken only while a preview, a recording or a pick needs them (SyncHotKeys).
    if (services_.hotKeys) services_.hotKeys->SetHandler([this](HotKey key) { HotKeyPressed(key); });
    Globals().ActiveCamera = this;
}

TScreenCamera::~TScreenCamera() {
    if (Recording()) {
        Globals().StopReason = TStopReason::Cancel;
        SetRecordingFlag(false);
    }
    if (worker_.joinable()) worker_.join();
    // Nothing handed to the main thread from here on may reach this engine. Only after the join: the worker
    // reads the token, and no handed-over work runs while this thread is in here.
    lifeToken_.reset();
    TScreenCamera* self = this;
    Globals().ActiveCamera.compare_exchange_strong(self, nullptr);
    areaTimer_.reset();
    frameWindow_.reset();
    if (services_.hotKeys) {
        for (HotKey key : {HotKey::ShiftEscape, HotKey::Escape, HotKey::CtrlReturn, HotKey::Pause})
            services_.hotKeys->Unregister(key);
        services_.hotKeys->SetHandler(nullptr);
    }
    // Files another run left (a killed recorder's) are not this engine's to delete: they wait for recovery.
    if (recordedHere_)
        for (const std::string& file : {Globals().TempVideoFile(), Globals().TempAudioFile(), Globals().TempNoteFile()})
            if (!file.empty()) DeleteTempFile(file);
    ReleaseInstanceTempFolder(FolderOf(Globals().TempVideoFile()));
}

void TScreenCamera::SetCurrentMonitor(int v) {
    if (v >= 1 && v <= MonitorCount()) currentMonitor_ = v;
}

void TScreenCamera::SetUpdateRate(int v) {
    if (v >= 1 && v <= 500) updateRate_ = v;
}

void TScreenCamera::SetPlayBack_FPS(int v) {
    if (v >= 1 && v <= 1000) playbackFps_ = v;
}

void TScreenCamera::SetRecord_MSPF(int v) {
    if (v >= 1 && v <= 1000) recordMspf_ = v;
}

void TScreenCamera::SetCompressionQuality(int v) {
    if (v >= 1 && v <= 10000) compressionQuality_ = v;
}

void TScreenCamera::SetUseFilters(TUseFilters v) {
    // The frame grab may remove a refused effect concurrently; retry so that neither write is lost.
    std::uint16_t current = useFilters_.load();
    while (!useFilters_.compare_exchange_weak(current, ApplyNoiseRule(TUseFilters::FromBits(current), v).Bits())) {
    }
}

TRecordingDuration TScreenCamera::RecordingDuration() const {
    std::lock_guard lock(durationMutex_);
    return recordingDuration_;
}

void TScreenCamera::SetRecordingDuration(const TRecordingDuration& d) {
    std::lock_guard lock(durationMutex_);
    recordingDuration_ = d;
}

int TScreenCamera::MonitorCount() const {
    return static_cast<int>(services_.screen.Monitors().size());
}

Rect TScreenCamera::MonitorBounds() const {
    if (recordAllMonitors_) return services_.screen.VirtualDesktop();
    const std::vector<Rect> monitors = services_.screen.Monitors();
    const int index = currentMonitor_ - 1;
    // A monitor unplugged since it was chosen falls back to the primary one.
    if (index >= 0 && index < static_cast<int>(monitors.size())) return monitors[static_cast<std::size_t>(index)];
    return monitors.empty() ? Rect{} : monitors.front();
}

Point TScreenCamera::GetMonitorOrigin() const {
    const Rect b = MonitorBounds();
    return Point{b.left, b.top};
}

Point TScreenCamera::GetMonitorSize() const {
    const Rect b = MonitorBounds();
    return Point{b.width, b.height};
}

void TScreenCamera::SetFullScreenArea() {
    screenArea_.SetBounds(MonitorBounds());
}

std::string TScreenCamera::AreaProblem() const {
    // An area that follows the pointer is kept on the monitor by the area timer.
    const bool follows = screenArea_.ScreenRegion() == TScreenRegion::FixedMoving;
    return tolm::AreaProblem(screenArea_.Bounds(), follows ? Rect{} : services_.screen.VirtualDesktop());
}

}  // namespace tolm
