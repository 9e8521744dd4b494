#pragma once

#include <ostream>
#include <string>

#include "capture/ScreenCamera.h"

namespace tolm {

// The recording worker's own steps, driven by tests on the test's thread instead of through a started worker.
struct EngineTestAccess {
    static RecordOutcome RecordAVI(TScreenCamera& camera, const std::string& outputFile, const CaptureLoop& loop) {
        return camera.RecordAVI(outputFile, loop);
    }
    static bool WriteFrame(TScreenCamera& camera, RecordingSession& session, int position, const PackedDib& dib) {
        return camera.WriteFrame(session, position, dib);
    }
    static bool DeleteTempFile(TScreenCamera& camera, const std::string& fileName) {
        return camera.DeleteTempFile(fileName);
    }
    static bool KeepTempFilesForRecovery(TScreenCamera& camera) { return camera.KeepTempFilesForRecovery(); }
    static void ReportSaveSuccess(TScreenCamera& camera) { camera.ReportSaveSuccess(); }
};

// Failed expectations name the outcome instead of its bytes.
inline void PrintTo(RecordOutcome outcome, std::ostream* os) {
    switch (outcome) {
        case RecordOutcome::recorded:
            *os << "recorded";
            break;
        case RecordOutcome::abandoned:
            *os << "abandoned";
            break;
        case RecordOutcome::retryWithDefault:
            *os << "retryWithDefault";
            break;
    }
}

}  // namespace tolm
