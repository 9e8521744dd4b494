#include "audio/scWaveUtils.h"
#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"

namespace tolm {

std::vector<std::string> TScreenCamera::StockFormatTexts() {
    std::vector<std::string> list;
    for (int i = 1; i <= kStockPCMFormatCount; ++i) {
        WAVEFORMATEX format;
        FillStockPCMFormat(format, static_cast<TPCMFormat>(i));
        list.push_back(DescribeWaveFormat(format));
    }
    return list;
}

std::vector<std::string> TScreenCamera::GetAudioFormatList() {
    TStockAudioRecorder recorder(services_.waveIn);
    if (audioFormatIndex_ == -1) audioFormatIndex_ = static_cast<int>(recorder.PCMFormat()) - 1;
    return audioFormatList_;
}

void TScreenCamera::SetAudioFormatIndex(int v) {
    if (v >= 0 && v < kStockPCMFormatCount) audioFormatIndex_ = v;
}

void TScreenCamera::StartAudio(RecordingSession& session) {
    session.recorder = std::make_unique<TStockAudioRecorder>(services_.waveIn);
    if (!useAudioRecord_) return;
    TStockAudioRecorder& recorder = *session.recorder;
    recorder.SetPCMFormat(static_cast<TPCMFormat>(audioFormatIndex_ + 1));
    recorder.SetAsync(true);
    // Short buffers: the sound's place against the picture is measured at every one, and the first one after a
    // pause comes soon after it. Together they still bridge two seconds of a busy machine.
    recorder.SetBufferLength(250);
    recorder.SetBufferCount(8);
    recorder.SetTimeline([&session, &clock = services_.clock] { return session.timeline.At(clock.NowMs()); });
    const std::string tempAudio = Globals().TempAudioFile();
    if (tempAudio.empty() || !DeleteTempFile(tempAudio)) {
        ReportError("Can not delete audio temp file.");
        session.failure = 1;
        return;
    }
    // A device that breaks off later (its server died, the input went away) says so here, on its own thread,
    // instead of raising there; the capture loop tells the user and the picture goes on.
    recorder.OnError = [&session](TWaveAudioIO& sender) {
        const std::string text = sender.GetErrorText(sender.LastError());
        std::lock_guard lock(session.audioLossMutex);
        if (session.audioLossReason.empty()) session.audioLossReason = text;
        session.audioLost = true;
    };
    // A device that cannot record must not leave a recording without the sound the user asked for.
    std::string reason;
    try {
        if (!recorder.RecordToFile(tempAudio)) reason = recorder.GetErrorText(recorder.LastError());
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (recorder.Active() && reason.empty()) return;
    {
        // A failure of the start is this start's, not a loss during the recording.
        std::lock_guard lock(session.audioLossMutex);
        session.audioLost = false;
        session.audioLossReason.clear();
    }
    if (reason.empty()) reason = "The sound input did not start.";
    session.recorder.reset();
    ReportError("Can not record sound: " + reason);
    session.failure = 1;
    session.audioFailed = true;
}

void TScreenCamera::StopAudio(RecordingSession& session) {
    if (!session.recorder) return;
    // A loss the capture loop had no pass left to report.
    if (session.audioLost) ReportAudioLoss(session, false);
    const bool lostBefore = session.audioLost;
    try {
        if (useAudioRecord_ && session.recorder->Active()) {
            session.recorder->SetActive(false);
            session.recorder->Stop();
        }
    } catch (const std::exception& e) {
        ReportError(std::string("Error on stop audio recording: ") + e.what());
    }
    // Freeing the recorder waits (within its time limit) until the wave file is complete.
    session.recorder.reset();
    if (session.audioLost && !lostBefore) {
        std::string reason;
        {
            std::lock_guard lock(session.audioLossMutex);
            reason = session.audioLossReason;
        }
        ReportError("Error on stop audio recording: " + reason);
    }
}

void TScreenCamera::ReportAudioLoss(RecordingSession& session, bool goesOn) {
    if (session.audioLossReported) return;
    session.audioLossReported = true;
    std::string reason;
    {
        std::lock_guard lock(session.audioLossMutex);
        reason = session.audioLossReason;
    }
    // Told at the end (the picture's end came first, or a stop), it must not promise a recording that goes on.
    ReportError(std::string("The sound input was lost; ") +
                (goesOn ? "the recording goes on without sound." : "the recording has no sound from then on.") +
                (reason.empty() ? std::string() : " " + reason));
}

}  // namespace tolm
