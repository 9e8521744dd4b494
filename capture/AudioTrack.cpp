#include <algorithm>
#include <cctype>

#include "audio/scWaveMixer.h"
#include "audio/scWaveUtils.h"
#include "capture/CaptureGlobals.h"
#include "capture/ScreenCamera.h"

namespace tolm {

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The recording mixer is the last one whose destination reads "recording control"; a machine whose mixers
// all name it otherwise records from the first one. False when there is no mixer at all.
bool SelectRecordingMixer(TAudioMixer& mixer) {
    const unsigned count = mixer.MixerCount();
    if (count == 0) return false;
    std::uint32_t found = 0;
    for (std::uint32_t m = 0; m < count; ++m) {
        mixer.SetMixerID(m);
        if (Lowered(mixer.DestinationName()) == "recording control") found = m;
    }
    mixer.SetMixerID(found);
    return true;
}

AudioInfo InfoOf(TAudioMixerLine& line) {
    AudioInfo info;
    info.LineName = line.Name();
    info.Volume = line.Volume();
    info.HasVolume = line.AvailableControls().Has(TMixerControlType::mcVolume);
    return info;
}

// Walks the recording mixer's source lines as the list builder does; `action` gets (mixer, source index or -1
// for the destination line) for the first line named `lineName`.
template <typename Action>
void ForEachRecordingLine(MixerService* mixers, const std::string& lineName, Action action) {
    TAudioMixer mixer(mixers);
    if (!SelectRecordingMixer(mixer)) return;
    const int n = mixer.LineCount();
    for (int i = 0; i < n; ++i) {
        mixer.SetDestinationID(static_cast<std::uint32_t>(i));
        if (mixer.Lines(i).Name() == lineName) return action(mixer, i, n);
        if (mixer.DestinationLine().Name() == lineName) return action(mixer, -1, n);
    }
    // A mixer without source lines still has its destination.
    if (n == 0 && mixer.DestinationLine().Name() == lineName) action(mixer, -1, n);
}

}  // namespace

std::vector<std::string> TScreenCamera::GetAudioFormatList() {
    TStockAudioRecorder recorder(services_.waveIn);
    std::vector<std::string> list;
    for (int i = 1; i <= kStockPCMFormatCount; ++i) {
        WAVEFORMATEX format;
        FillStockPCMFormat(format, static_cast<TPCMFormat>(i));
        list.push_back(DescribeWaveFormat(format));
    }
    if (audioFormatIndex_ == -1) audioFormatIndex_ = static_cast<int>(recorder.PCMFormat()) - 1;
    std::lock_guard lock(audioMutex_);
    audioFormatList_ = list;
    return list;
}

std::vector<std::string> TScreenCamera::AudioFormatList() const {
    std::lock_guard lock(audioMutex_);
    return audioFormatList_;
}

void TScreenCamera::SetAudioFormatIndex(int v) {
    if (v >= 0 && v < kStockPCMFormatCount) audioFormatIndex_ = v;
}

std::vector<std::string> TScreenCamera::GetAudioInputList() {
    std::vector<std::string> names;
    TGetAudioInfo lines;
    int selected = -1;
    TAudioMixer mixer(services_.mixers);
    // Without a mixer there is nothing to list, not even a destination.
    if (SelectRecordingMixer(mixer)) {
        const int n = mixer.LineCount();
        lines.resize(static_cast<std::size_t>(n) + 1);
        for (int i = 0; i < n; ++i) {
            mixer.SetDestinationID(static_cast<std::uint32_t>(i));
            lines[static_cast<std::size_t>(i)] = InfoOf(mixer.Lines(i));
            names.push_back(lines[static_cast<std::size_t>(i)].LineName);
        }
        TAudioMixerLine& destination = mixer.DestinationLine();
        lines[static_cast<std::size_t>(n)] = InfoOf(destination);
        names.push_back(lines[static_cast<std::size_t>(n)].LineName);
        selected = destination.AvailableControls().Has(TMixerControlType::mcSelect) ? destination.SelectedLine() : n;
    }
    std::lock_guard lock(audioMutex_);
    audioInputList_ = names;
    audioInputLines_ = std::move(lines);
    audioInputIndex_ = selected;
    return names;
}

std::vector<std::string> TScreenCamera::AudioInputList() const {
    std::lock_guard lock(audioMutex_);
    return audioInputList_;
}

TGetAudioInfo TScreenCamera::AudioInputLines() const {
    std::lock_guard lock(audioMutex_);
    return audioInputLines_;
}

int TScreenCamera::AudioInputIndex() const {
    std::lock_guard lock(audioMutex_);
    return audioInputIndex_;
}

void TScreenCamera::SelectAudioInput(const std::string& lineName) {
    ForEachRecordingLine(services_.mixers, lineName, [this](TAudioMixer& mixer, int source, int) {
        // The destination itself is no source of its own; choosing it keeps the current source.
        if (source < 0) return;
        mixer.DestinationLine().SetSelectedLine(source);
        std::lock_guard lock(audioMutex_);
        audioInputIndex_ = source;
    });
}

void TScreenCamera::SetAudioInputVolume(const std::string& lineName, int volume) {
    volume = std::clamp(volume, 0, 100);
    ForEachRecordingLine(services_.mixers, lineName, [this, volume](TAudioMixer& mixer, int source, int n) {
        TAudioMixerLine& line = source < 0 ? mixer.DestinationLine() : mixer.Lines(source);
        line.SetVolume(volume);
        const std::size_t entry = static_cast<std::size_t>(source < 0 ? n : source);
        std::lock_guard lock(audioMutex_);
        if (entry < audioInputLines_.size()) audioInputLines_[entry].Volume = volume;
    });
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
    if (session.audioLost) ReportAudioLoss(session);
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

void TScreenCamera::ReportAudioLoss(RecordingSession& session) {
    if (session.audioLossReported) return;
    session.audioLossReported = true;
    std::string reason;
    {
        std::lock_guard lock(session.audioLossMutex);
        reason = session.audioLossReason;
    }
    ReportError("The sound input was lost; the recording goes on without sound." +
                (reason.empty() ? std::string() : " " + reason));
}

}  // namespace tolm
