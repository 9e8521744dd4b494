#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"

namespace tolm {

// What the Escape key does: end a preview or recording without saving.
void TScreenCamera::CancelAsEscape() {
    Globals().StopReason = TStopReason::Cancel;
    Globals().StartPending = false;
    if (preview_ && !recording_) preview_ = false;
    recording_ = false;
}

}  // namespace tolm
