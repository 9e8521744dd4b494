#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"

#include <vector>

namespace tolm {
namespace {

constexpr const char* kPreviewCaption = "Preview... (Cancel=Esc)";
constexpr const char* kRecordingCaption = "Recording... (Cancel=Esc)--(Stop=Shift+Esc)--(Pause=Pause Key)";
constexpr const char* kPausedCaption = "Paused... (Press pause key to resume)";
constexpr int kPreviewWhileRecordingWidth = 640;
constexpr int kPreviewWhileRecordingHeight = 480;

// The monitor the frame's caption is kept on: the one under the area's top-left corner, else the chosen one.
Rect CaptionScreen(const std::vector<Rect>& monitors, const Rect& area, const Rect& chosen) {
    for (const Rect& m : monitors)
        if (area.left >= m.left && area.left < m.Right() && area.top >= m.top && area.top < m.Bottom()) return m;
    return chosen;
}

}  // namespace

void TScreenCamera::AreaTimerTick() {
    areaTimer_->SetInterval(static_cast<std::uint32_t>(1000 / playbackFps_));
    const double now = services_.clock.NowMs();
    const double previewElapsed = now - previewStart_;

    if (Recording()) {
        const TScreenRegion region = screenArea_.ScreenRegion();
        if (region == TScreenRegion::SelObject || region == TScreenRegion::FreeHand) {
            screenArea_.SetScreenRegion(TScreenRegion::FixedStable);
            pickObjectPending_ = pickFreeHandPending_ = followMouse_ = followFullScreen_ = false;
        }
    } else {
        SetAreaFlagsFromRegion();
    }

    if (!Globals().StartPending && !preview_ && !(Recording() && !followFullScreen_)) {
        if (frameWindow_) frameWindow_->Hide();
        previewWhileRecording_ = false;
        if (OnPreview) OnPreview(*this, nullptr, false, Recording());
    } else {
        if (followFullScreen_) {
            SetFullScreenArea();
        } else if (pickFreeHandPending_ || pickObjectPending_) {
            areaTimer_->SetEnabled(false);
            // A cancel inside the picker clears the pending start itself; it is read before.
            const bool starting = Globals().StartPending;
            const bool picked = pickFreeHandPending_ ? PickFreeHandArea() : PickObjectArea();
            if (!picked) {
                Globals().StartPending = false;  // however the picker was left, the start is abandoned
                // and the window minimised for it comes back, or the program would seem gone.
                if (starting) RestoreAfterFailedStart();
            }
            SyncHotKeys();
            if (!picked) return;
            areaTimer_->SetEnabled(true);
        } else if (followMouse_) {
            FollowMouse();
        }
        DrawFrameWindow(previewElapsed);
        DeliverPreviewImage();
    }

    if (preview_ && !Recording()) {
        StoreElapsed(previewElapsed);
        statistics_.SetVideoCodecName("");
        statistics_.capturedFrames = 0;
        statistics_.droppedFrames = 0;
        // The rate is the recording's: a tick's own speed (1000 / its few milliseconds) said nothing of it.
        statistics_.currentFps = 0;
        statistics_.realFps = 0;
        if (previewElapsed >= updateRate_ + lastPreviewUpdate_) {
            lastPreviewUpdate_ = previewElapsed;
            Raise(OnUpdate);
        }
    }
}

// Centres the area on the pointer, kept inside the monitor (or the desktop) without changing its size.
void TScreenCamera::FollowMouse() {
    CursorImage cursor;
    if (!services_.screen.QueryCursor(cursor)) return;
    Rect area = screenArea_.Bounds();
    area.left = cursor.position.x - area.width / 2;
    area.top = cursor.position.y - area.height / 2;
    const Rect b = MonitorBounds();
    if (area.left < b.left) area.left = b.left;
    if (area.top < b.top) area.top = b.top;
    if (b.left + b.width < area.left + area.width) area.left = b.left + b.width - area.width;
    if (b.top + b.height < area.top + area.height) area.top = b.top + b.height - area.height;
    screenArea_.SetBounds(area);
}

void TScreenCamera::DrawFrameWindow(double previewElapsed) {
    if (!drawAreaCapture_) {
        if (frameWindow_) frameWindow_->Hide();
        return;
    }
    if (!frameWindow_) {
        if (!services_.createOverlayWindow) return;
        frameWindow_ = std::make_unique<TFlashingWnd>(services_.createOverlayWindow());
    }
    if (previewElapsed >= updateRate_ + lastColorChange_) {
        lastColorChange_ = previewElapsed;
        frameColor_ = frameColor_ == regionColor1_ ? regionColor2_.load() : regionColor1_.load();
    }
    const char* caption = Recording() ? (Paused() ? kPausedCaption : kRecordingCaption)
                          : preview_  ? kPreviewCaption
                                      : "";
    if (*caption != '\0') {
        const Rect area = screenArea_.Bounds();
        frameWindow_->SetScreen(CaptionScreen(services_.screen.Monitors(), area, MonitorBounds()));
        frameWindow_->Reshape(area.left, area.top, caption, lineRectClear_, area.height, area.width);
        frameWindow_->PaintFrame(frameColor_, caption);
    }
    frameWindow_->ShowOnTop();
}

void TScreenCamera::DeliverPreviewImage() {
    if (!OnPreview) return;
    if (preview_ && !Recording()) {
        Bitmap image;
        const Rect area = screenArea_.Bounds();
        CaptureFrame(TCaptureMode::cmBitmap, &image, area.left, area.top, area.width, area.height,
                     UseFilters().Contains(TUseFilter::UseReverseColor));
        OnPreview(*this, &image, true, false);
        return;
    }
    const Rect area = screenArea_.Bounds();
    if (preview_ && Recording() && area.width <= kPreviewWhileRecordingWidth &&
        area.height <= kPreviewWhileRecordingHeight) {
        previewWhileRecording_ = true;  // the capture loop hands its frames over
    } else {
        previewWhileRecording_ = false;
        OnPreview(*this, nullptr, false, Recording());
    }
}

// A picked rectangle becomes the fixed area, cut to the monitor (or the desktop).
bool TScreenCamera::FinishPick(const Rect& picked) {
    Rect area = picked;
    const Rect b = MonitorBounds();
    if (area.left < b.left) area.width += area.left - b.left, area.left = b.left;
    if (area.top < b.top) area.height += area.top - b.top, area.top = b.top;
    if (b.left + b.width < area.left + area.width) area.width = b.left + b.width - area.left;
    if (b.top + b.height < area.top + area.height) area.height = b.top + b.height - area.top;
    screenArea_.SetBounds(area);
    screenArea_.SetScreenRegion(TScreenRegion::FixedStable);
    if (Globals().StartPending) {
        Globals().StartPending = false;
        const std::string output = Globals().OutputFile();
        if (!output.empty()) StartRecording(output);
    }
    return true;
}

bool TScreenCamera::PickFreeHandArea() {
    const Rect desktop = services_.screen.VirtualDesktop();
    Bitmap still;
    // Not a ghost of the window minimised for the recording in it.
    services_.host.FinishMinimizing();
    // The picture starts at the desktop's origin (0, 0), as the picker's window does.
    services_.screen.Grab(Rect{0, 0, desktop.width, desktop.height}, still);
    TFreeHandWindow picker(Size{desktop.width, desktop.height});
    freeHandPicker_ = &picker;
    services_.host.RunFreeHandPicker(picker, still);
    freeHandPicker_ = nullptr;
    if (picker.ModalResult() == TFreeHandWindow::mrOK)
        return FinishPick(Rect{picker.SelLeft(), picker.SelTop(), picker.SelWidth(), picker.SelHeight()});
    // Cancelled by the picker's own Escape (the global key may be another program's): the same as the key.
    if (Globals().StartPending || preview_) HotKeyPressed(HotKey::Escape);
    return false;
}

bool TScreenCamera::PickObjectArea() {
    if (!services_.createOverlayWindow || !services_.windowLocator) {
        ReportError("Picking a window needs a desktop that can show the picker's frame.");
        return false;
    }
    TSelObjWindow picker(services_.createOverlayWindow(), *services_.windowLocator);
    THighTimer timer(services_.mainThread, services_.host);
    timer.SetInterval(TSelObjWindow::kTimerIntervalMs);
    timer.SetOnTimer([&picker](THighTimer&) { picker.Timer1Timer(); });
    objectPicker_ = &picker;
    objectPickerTimer_ = &timer;
    objectPickerResult_ = TFreeHandWindow::mrNone;
    timer.SetEnabled(true);
    services_.mainThread.RunModal([this] { return objectPickerResult_ != TFreeHandWindow::mrNone; });
    timer.SetEnabled(false);
    picker.Window().Hide();
    objectPicker_ = nullptr;
    objectPickerTimer_ = nullptr;
    if (objectPickerResult_ != TFreeHandWindow::mrOK) return false;
    return FinishPick(Rect{picker.ObjLeft(), picker.ObjTop(), picker.ObjWidth(), picker.ObjHeight()});
}

}  // namespace tolm
