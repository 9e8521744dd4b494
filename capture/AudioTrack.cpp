#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

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

// The list shows every name once: a repeated name (two identical microphones, or names alike in the 63 bytes a
// line's name holds) gets " (2)", " (3)", ... after it, with a number no other entry uses.
std::vector<std::string> UniqueNames(const std::vector<std::string>& names) {
    std::set<std::string> taken(names.begin(), names.end());
    std::set<std::string> seen;
    std::vector<std::string> unique;
    for (const std::string& name : names) {
        std::string shown = name;
        if (!seen.insert(name).second) {
            for (int n = 2; taken.count(shown) > 0; ++n) shown = name + " (" + std::to_string(n) + ")";
            taken.insert(shown);
        }
        unique.push_back(shown);
    }
    return unique;
}

// An entry of the input list and the mixer line behind it.
struct ListedLine {
    std::size_t entry = 0;
    std::uint32_t lineId = 0;
    bool destination = false;  // the last entry
};

std::optional<ListedLine> FindListed(const std::vector<std::string>& names, const std::vector<std::uint32_t>& lineIds,
                                     const std::string& name) {
    const auto found = std::find(names.begin(), names.end(), name);
    const auto entry = static_cast<std::size_t>(found - names.begin());
    if (found == names.end() || entry >= lineIds.size()) return std::nullopt;
    return ListedLine{entry, lineIds[entry], entry + 1 == names.size()};
}

// Walks the recording mixer's lines as the list builder does; `action` gets (mixer, source index or -1 for the
// destination line) for the listed line, found by its id: names may repeat, and lines may have moved since.
template <typename Action>
void ForListedLine(MixerService* mixers, const ListedLine& listed, Action action) {
    TAudioMixer mixer(mixers);
    if (!SelectRecordingMixer(mixer)) return;
    const auto isListed = [&listed](TAudioMixerLine& line) {
        return line.Known() && line.LineInfo().dwLineID == listed.lineId;
    };
    const int n = mixer.LineCount();
    for (int i = 0; i < n; ++i) {
        mixer.SetDestinationID(static_cast<std::uint32_t>(i));
        if (!listed.destination && isListed(mixer.Lines(i))) return action(mixer, i);
        if (listed.destination && isListed(mixer.DestinationLine())) return action(mixer, -1);
    }
    // A mixer without source lines still has its destination.
    if (n == 0 && listed.destination && isListed(mixer.DestinationLine())) action(mixer, -1);
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
    std::vector<std::uint32_t> lineIds;
    TGetAudioInfo lines;
    int selected = -1;
    TAudioMixer mixer(services_.mixers);
    // Without a mixer there is nothing to list, not even a destination.
    if (SelectRecordingMixer(mixer)) {
        const int n = mixer.LineCount();
        for (int i = 0; i < n; ++i) {
            mixer.SetDestinationID(static_cast<std::uint32_t>(i));
            lines.push_back(InfoOf(mixer.Lines(i)));
            lineIds.push_back(mixer.Lines(i).LineInfo().dwLineID);
        }
        TAudioMixerLine& destination = mixer.DestinationLine();
        lines.push_back(InfoOf(destination));
        lineIds.push_back(destination.LineInfo().dwLineID);
        selected = destination.AvailableControls().Has(TMixerControlType::mcSelect) ? destination.SelectedLine() : n;
        for (const AudioInfo& line : lines) names.push_back(line.LineName);
        names = UniqueNames(names);
        for (std::size_t i = 0; i < lines.size(); ++i) lines[i].LineName = names[i];
    }
    std::lock_guard lock(audioMutex_);
    audioInputList_ = names;
    audioInputLines_ = std::move(lines);
    audioInputLineIds_ = std::move(lineIds);
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
    std::optional<ListedLine> listed;
    {
        std::lock_guard lock(audioMutex_);
        listed = FindListed(audioInputList_, audioInputLineIds_, lineName);
    }
    // The destination itself is no source of its own; choosing it keeps the current source.
    if (!listed || listed->destination) return;
    ForListedLine(services_.mixers, *listed, [this, &listed](TAudioMixer& mixer, int source) {
        mixer.DestinationLine().SetSelectedLine(source);
        std::lock_guard lock(audioMutex_);
        audioInputIndex_ = static_cast<int>(listed->entry);
    });
}

void TScreenCamera::SetAudioInputVolume(const std::string& lineName, int volume) {
    volume = std::clamp(volume, 0, 100);
    std::optional<ListedLine> listed;
    {
        std::lock_guard lock(audioMutex_);
        listed = FindListed(audioInputList_, audioInputLineIds_, lineName);
    }
    if (!listed) return;
    ForListedLine(services_.mixers, *listed, [this, volume, &listed](TAudioMixer& mixer, int source) {
        (source < 0 ? mixer.DestinationLine() : mixer.Lines(source)).SetVolume(volume);
        std::lock_guard lock(audioMutex_);
        if (listed->entry < audioInputLines_.size()) audioInputLines_[listed->entry].Volume = volume;
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
