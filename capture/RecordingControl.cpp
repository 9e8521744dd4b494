#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"

namespace tolm {

namespace {

constexpr HotKey kHotKeys[] = {HotKey::ShiftEscape, HotKey::Escape, HotKey::CtrlReturn, HotKey::Pause};

}  // namespace

void TScreenCamera::SetRecordingFlag(bool value) {
    flags_.SetRecording(value);
    if (!value) OnMainThread([this] { SyncHotKeys(); });
}

// Escape and the others are the desktop's keys: taking them for the whole run would keep them from every other
// program, and from our own dialogs.
void TScreenCamera::SyncHotKeys() {
    if (!services_.hotKeys) return;
    const bool wanted = preview_ || Recording() || Globals().StartPending || freeHandPicker_ || objectPicker_;
    if (wanted == hotKeysHeld_) return;
    hotKeysHeld_ = wanted;
    for (HotKey key : kHotKeys) {
        if (wanted)
            services_.hotKeys->Register(key);  // a key another program holds just does nothing
        else
            services_.hotKeys->Unregister(key);
    }
}

void TScreenCamera::EndRecordingByKey() {
    if (!Recording()) return;
    SetRecordingFlag(false);
    RewritePreview();
    // The compressor questions come before the first frame; a stop or cancel there ends the start too.
    services_.host.CloseQuestions();
}

void TScreenCamera::RestoreAfterFailedStart() {
    if (minimizeAppOnStart_ || restoreAppOnStop_) services_.host.RestoreApplication();
}

void TScreenCamera::SetPausedFlag(bool value) {
    flags_.SetPaused(value);
}

void TScreenCamera::OnMainThread(std::function<void()> fn) {
    if (services_.mainThread.IsMainThread()) {
        fn();
        return;
    }
    std::weak_ptr<int> alive = lifeToken_;
    services_.mainThread.Post([alive, fn = std::move(fn)] {
        if (alive.lock()) fn();
    });
}

void TScreenCamera::SetVideoPriority(TThreadPriority v) {
    if (videoPriority_.exchange(v) == v) return;
    if (const SystemThreadId worker = workerThreadId_; worker != 0) SetThreadPriority(worker, v);
}

void TScreenCamera::EnsureAreaTimer() {
    if (areaTimer_) return;
    areaTimer_ = std::make_unique<THighTimer>(services_.mainThread, services_.host);
    areaTimer_->SetThreadPriority(videoPriority_);
    areaTimer_->SetSynchronize(true);
    areaTimer_->SetUseThread(true);
    areaTimer_->SetOnTimer([this](THighTimer&) { AreaTimerTick(); });
}

// The preview write with the value it has: ends the area timer when neither a preview nor a recording needs
// it. Work of the main thread; from the worker it is handed over.
void TScreenCamera::RewritePreview() {
    OnMainThread([this] { SetPreview(preview_); });
}

// A recording that ends without the user's stop: the frame and the area timer go unless a preview runs.
void TScreenCamera::EndAreaTracking() {
    OnMainThread([this] {
        if (preview_) return;
        if (areaTimer_) areaTimer_->SetEnabled(false);
        if (frameWindow_) frameWindow_->Hide();
    });
}

void TScreenCamera::SetPreview(bool value) {
    lastPreviewUpdate_ = 0;
    lastColorChange_ = 0;
    previewStart_ = services_.clock.NowMs();
    preview_ = value;
    if (value) {
        EnsureAreaTimer();
        areaTimer_->SetInterval(static_cast<std::uint32_t>(1000 / playbackFps_));
        areaTimer_->SetEnabled(false);
        if (frameWindow_) frameWindow_->Hide();
        areaTimer_->SetEnabled(true);
    } else if (!Recording()) {
        if (areaTimer_) areaTimer_->SetEnabled(false);
        if (frameWindow_) frameWindow_->Hide();
        if (OnPreview) OnPreview(*this, nullptr, false, false);
    } else if (OnPreview) {
        OnPreview(*this, nullptr, false, true);
    }
    SyncHotKeys();
}

void TScreenCamera::SetAreaFlagsFromRegion() {
    const TScreenRegion region = screenArea_.ScreenRegion();
    pickObjectPending_ = region == TScreenRegion::SelObject;
    pickFreeHandPending_ = region == TScreenRegion::FreeHand;
    followMouse_ = region == TScreenRegion::FixedMoving;
    followFullScreen_ = region == TScreenRegion::FullScreen;
}

bool TScreenCamera::StartRecording(const std::string& fileName) {
    // The last recording may still be saving under its own name; waiting for it here would stall the main thread
    // the worker reports to.
    if (Recording() || workerRunning_) return false;
    Globals().SetOutputFile(fileName);
    if (minimizeAppOnStart_) services_.host.MinimizeApplication();
    SetAreaFlagsFromRegion();
    EnsureAreaTimer();
    areaTimer_->SetInterval(static_cast<std::uint32_t>(1000 / playbackFps_));
    areaTimer_->SetEnabled(true);
    if (pickFreeHandPending_ || pickObjectPending_) {
        Globals().StartPending = true;
        SyncHotKeys();
        return false;
    }
    Globals().StartPending = false;
    // A recording cancelled before is the host's to keep or not; from here it is one interrupted recording of many.
    cancelledByEscape_ = false;
    cancelled_.reset();
    // What an interrupted run left would be overwritten by this recording: it is put aside first.
    if (!recordedHere_.exchange(true)) KeepTempFilesForRecovery("An interrupted recording was left");
    if (followFullScreen_) SetFullScreenArea();
    SetRecordingFlag(true);
    SyncHotKeys();
    workerRunning_ = true;
    worker_ = std::thread([this] { Execute(); });
    return true;
}

void TScreenCamera::StopRecording() {
    Globals().StopReason = TStopReason::StopAndSave;
    SetRecordingFlag(false);
    SetPausedFlag(false);
    RewritePreview();
}

void TScreenCamera::PauseRecording() {
    SetPausedFlag(true);
}

void TScreenCamera::ResumeRecording() {
    if (Paused()) SetPausedFlag(false);
}

void TScreenCamera::Cancel(bool keep) {
    // Before the recording's end, which the worker may see at once.
    if (!keep)
        cancelledByEscape_ = false;
    else if (Recording())
        cancelledByEscape_ = true;
    Globals().StopReason = TStopReason::Cancel;
    if (freeHandPicker_) freeHandPicker_->SetModalResult(TFreeHandWindow::mrCancel);
    if (objectPicker_) {
        if (objectPickerTimer_) objectPickerTimer_->SetEnabled(false);
        objectPickerResult_ = TFreeHandWindow::mrCancel;
    }
    Globals().StartPending = false;
    if ((preview_ || Recording()) && restoreAppOnStop_) services_.host.RestoreApplication();
    if (preview_ && !Recording()) SetPreview(false);
    EndRecordingByKey();
}

void TScreenCamera::CancelRecording() {
    Cancel(false);
    SyncHotKeys();
}

void TScreenCamera::HotKeyPressed(HotKey key) {
    switch (key) {
        case HotKey::ShiftEscape:
            Globals().StopReason = TStopReason::StopAndSave;
            EndRecordingByKey();
            break;
        case HotKey::Escape:
            Cancel(true);
            break;
        case HotKey::CtrlReturn:
            if (objectPicker_) {
                // Before the picker has found a window under the pointer there is nothing to accept: an empty
                // area would be recorded.
                if (objectPicker_->ObjWidth() <= 0 || objectPicker_->ObjHeight() <= 0) return;
                if (objectPickerTimer_) objectPickerTimer_->SetEnabled(false);
                objectPickerResult_ = TFreeHandWindow::mrOK;
            }
            EndRecordingByKey();
            break;
        case HotKey::Pause:
            SetPausedFlag(!Paused());
            break;
    }
    SyncHotKeys();
}

}  // namespace tolm
