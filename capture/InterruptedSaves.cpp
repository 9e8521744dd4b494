#include <algorithm>
#include <utility>

#include "capture/ScreenCamera.h"
#include "platform/PartFiles.h"

namespace tolm {

void TScreenCamera::ClearInterruptedSaves() {
    const std::vector<InterruptedPart> parts = InterruptedParts();
    if (parts.empty()) return;
    // A save copies its recording, so its part file never holds more than the files it was made from; one that
    // does has lost them (deleted, or not found here) and is kept.
    std::uint64_t kept = 0;
    for (const LeftoverRecording& leftover : LeftoverRecordings()) kept = std::max(kept, leftover.bytes);
    for (const InterruptedPart& part : parts) {
        const bool superseded = part.bytes <= kept;
        ForgetInterruptedPart(part.path, superseded);
        if (!superseded) partlySaved_.push_back(part.path);
    }
}

void TScreenCamera::ReportPartlySavedFiles() {
    for (const std::string& part : std::exchange(partlySaved_, {}))
        ReportError("A save that was interrupted left the partly written file " + part +
                    "; it is kept, as no unsaved recording holds as much. Delete it once it is not needed.");
}

}  // namespace tolm
