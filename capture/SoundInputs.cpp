#include "capture/SoundInputs.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "audio/scWaveMixer.h"

namespace tolm {
namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The recording mixer is the last one whose destination reads "recording control"; a machine whose mixers all name it
// otherwise records from the first one. False when there is no mixer at all.
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

// The list shows every name once: a repeated name (two identical microphones, or names alike in the 63 bytes a line's
// name holds) gets " (2)", " (3)", ... after it, with a number no other entry uses.
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

std::vector<std::string> SoundInputs::Rebuild() {
    std::vector<std::string> names;
    std::vector<std::uint32_t> lineIds;
    TGetAudioInfo lines;
    int selected = -1;
    TAudioMixer mixer(mixers_);
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
    std::lock_guard lock(mutex_);
    names_ = names;
    lines_ = std::move(lines);
    lineIds_ = std::move(lineIds);
    selected_ = selected;
    return names;
}

std::vector<std::string> SoundInputs::Names() const {
    std::lock_guard lock(mutex_);
    return names_;
}

TGetAudioInfo SoundInputs::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

int SoundInputs::SelectedIndex() const {
    std::lock_guard lock(mutex_);
    return selected_;
}

void SoundInputs::Select(const std::string& lineName) {
    std::optional<ListedLine> listed;
    {
        std::lock_guard lock(mutex_);
        listed = FindListed(names_, lineIds_, lineName);
    }
    // The destination itself is no source of its own; choosing it keeps the current source.
    if (!listed || listed->destination) return;
    ForListedLine(mixers_, *listed, [this, &listed](TAudioMixer& mixer, int source) {
        mixer.DestinationLine().SetSelectedLine(source);
        std::lock_guard lock(mutex_);
        selected_ = static_cast<int>(listed->entry);
    });
}

void SoundInputs::SetVolume(const std::string& lineName, int volume) {
    volume = std::clamp(volume, 0, 100);
    std::optional<ListedLine> listed;
    {
        std::lock_guard lock(mutex_);
        listed = FindListed(names_, lineIds_, lineName);
    }
    if (!listed) return;
    ForListedLine(mixers_, *listed, [this, volume, &listed](TAudioMixer& mixer, int source) {
        (source < 0 ? mixer.DestinationLine() : mixer.Lines(source)).SetVolume(volume);
        std::lock_guard lock(mutex_);
        if (listed->entry < lines_.size()) lines_[listed->entry].Volume = volume;
    });
}

}  // namespace tolm
