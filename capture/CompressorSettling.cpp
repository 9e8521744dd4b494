#include "capture/AviErrors.h"
#include "capture/CaptureGlobals.h"
#include "capture/CompressorTexts.h"
#include "capture/DefaultCompressor.h"
#include "capture/ScreenCamera.h"
#include "capture/SizeMultiple.h"

namespace tolm {
namespace {

constexpr const char* kNoCompressorSelected = "You no selected compressor, use default compressor?";
constexpr const char* kCannotAdjust =
    "Error: This compressor cann`t work if the dimensions is adjusted slightly\r\nUse default compressor?";
constexpr const char* kGrabFailed = "Error capturing a frame from screen.";

}  // namespace

TScreenCamera::Settled TScreenCamera::EndSettling(const std::string& error) {
    ReportError(error);
    Globals().StopReason = TStopReason::Cancel;
    SetRecordingFlag(false);
    Raise(OnStop);
    EndAreaTracking();
    RestoreAfterFailedStart();
    return Settled::ended;
}

// Nowhere to record to, or nothing to record: refused before the first grab and before anything is asked about
// the compressor, which could not help.
bool TScreenCamera::RefusedBeforeSettling() {
    std::string problem = Globals().TempVideoFile().empty() ? Globals().TempFolderError() : std::string();
    if (const std::string area = AreaProblem(); problem.empty() && !area.empty())
        problem = area + "; the recording was not started.";
    if (problem.empty()) return false;
    EndSettling(problem);
    return true;
}

// The default compressor has size rules of its own (MS Video 1 codes blocks of 4x4 pixels): the area is fitted
// to it as to a chosen one. Without it, or with no size it takes, the file's creation says what is wrong. An MP4
// file holds no MS Video 1, so it gets H.264, as tolm-record's default does.
TScreenCamera::Settled TScreenCamera::ChooseDefaultCompressor(RecordingSession& session) {
    const std::uint32_t handler = DefaultCompressorFor(Globals().OutputFile(), kDefaultCompressor);
    currentCompressor_ = handler;
    statistics_.SetVideoCodecName(DefaultCompressorName(handler));
    usingDefaultCompressor_ = true;
    session.compressor = services_.compressors.Open(ICTYPE_VIDEO, handler);
    const Fitted fitted = session.compressor ? FitAreaToCompressor(session) : Fitted::refused;
    session.compressor.reset();
    return fitted == Fitted::grabFailed ? EndSettling(kGrabFailed) : Settled::create;
}

TScreenCamera::Settled TScreenCamera::AbortRecording(RecordingSession& session) {
    session.firstFrame.reset();
    // A stop or cancel key that closed the question needs no message: the user ended the start themselves.
    if (!EndedByUser()) ReportError("User aborted!");
    SetRecordingFlag(false);
    Globals().StopReason = TStopReason::Cancel;
    Raise(OnStop);
    if (!preview_ && OnPreview) OnPreview(*this, nullptr, false, false);
    EndAreaTracking();
    session.compressor.reset();
    RestoreAfterFailedStart();
    return Settled::ended;
}

TScreenCamera::Settled TScreenCamera::SettleCompressor(RecordingSession& session) {
    if ((services_.avi.Version() >> 16) < 0x010A) return EndSettling("Failure: Video for windows version too old!");

    const Rect area = screenArea_.Bounds();
    const bool invert = UseFilters().Contains(TUseFilter::UseReverseColor);
    session.firstFrame = ProbeFrame(session.scratch, area, invert);
    if (!session.firstFrame) return EndSettling(kGrabFailed);
    statistics_.SetVideoCodecName("No Compressor");

    const bool compress = recordType_ != TTypeRecord::NoCompress;
    const int selected = selectedCompressor_;
    if (compress && selected != -1 && !usingDefaultCompressor_) {
        const CompressorInfo info = CompressorInfos(selected);
        session.compressor = services_.compressors.Open(info.fccType, info.fccHandler);
        if (!session.compressor) {
            if (!services_.host.AskYesNo("Notice", kUseDefaultCompressorQuestion)) return AbortRecording(session);
            return ChooseDefaultCompressor(session);
        }
        return AdjustSizeForCompressor(session, info);
    }
    if (compress && !usingDefaultCompressor_ && !services_.host.AskYesNo("Notice", kNoCompressorSelected))
        return AbortRecording(session);
    // Chosen now, or accepted after a failure earlier in this recording.
    return compress ? ChooseDefaultCompressor(session) : Settled::create;
}

// A save that would fail at the end for the kind of file asked for is refused before anything is recorded.
TScreenCamera::Settled TScreenCamera::CheckOutputTakesVideo(RecordingSession& session) {
    const bool raw = recordType_ == TTypeRecord::NoCompress;
    const std::uint32_t handler = raw ? 0u : currentCompressor_.load();
    if (services_.avi.FileTakes(Globals().OutputFile(), handler, BitCount())) return Settled::create;
    session.firstFrame.reset();
    const std::string codec =
        raw ? "Uncompressed " + std::to_string(BitCount()) + "-bit video" : statistics_.VideoCodecName();
    return EndSettling(NotStorableText(codec, Globals().OutputFile(), false) + "; the recording was not started.");
}

// Compressors may need sizes that are multiples of 2, 4 or 8; the area grows (or, at the desktop's edge,
// shrinks) to the next multiple until the open compressor accepts the frame. A refusal keeps the last size.
TScreenCamera::Fitted TScreenCamera::FitAreaToCompressor(RecordingSession& session) {
    int b = 1;
    bool accepted = session.compressor->CompressQuery(session.firstFrame->Header());
    Point noted{screenArea_.ScreenLeft(), screenArea_.ScreenTop()};
    int width = screenArea_.ScreenWidth();
    int height = screenArea_.ScreenHeight();
    const bool invert = UseFilters().Contains(TUseFilter::UseReverseColor);
    while (!accepted) {
        b *= 2;
        if (b > 8) return Fitted::refused;
        noted = Point{screenArea_.ScreenLeft(), screenArea_.ScreenTop()};
        width = AdjustToMultiple(screenArea_.ScreenWidth(), b, desktopWidth_);
        height = AdjustToMultiple(screenArea_.ScreenHeight(), b, desktopHeight_);
        screenArea_.SetScreenWidth(width);
        screenArea_.SetScreenHeight(height);
        session.firstFrame.reset();
        session.firstFrame = ProbeFrame(session.scratch, Rect{noted.x, noted.y, width, height}, invert);
        if (!session.firstFrame) return Fitted::grabFailed;
        accepted = session.compressor->CompressQuery(session.firstFrame->Header());
    }
    if (b > 1) screenArea_.SetBounds(Rect{noted.x, noted.y, width, height});
    return Fitted::accepted;
}

TScreenCamera::Settled TScreenCamera::AdjustSizeForCompressor(RecordingSession& session,
                                                              const CompressorInfo& selected) {
    const Fitted fitted = FitAreaToCompressor(session);
    if (fitted == Fitted::grabFailed) {
        session.compressor.reset();
        return EndSettling(kGrabFailed);
    }
    if (fitted == Fitted::refused) {
        if (!services_.host.AskYesNo("Notice", kCannotAdjust)) return AbortRecording(session);
        return ChooseDefaultCompressor(session);
    }
    currentCompressor_ = selected.fccHandler;
    statistics_.SetVideoCodecName(selected.szName);
    session.compressor.reset();
    return Settled::create;
}

}  // namespace tolm
