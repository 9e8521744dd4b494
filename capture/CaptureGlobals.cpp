#include "capture/CaptureGlobals.h"

namespace tolm {

CaptureGlobals& Globals() {
    static CaptureGlobals globals;
    return globals;
}

void ResetCaptureGlobals() {
    CaptureGlobals& g = Globals();
    g.ActiveCamera = nullptr;
    g.StopReason = TStopReason::None;
    g.StartPending = false;
}

}  // namespace tolm
