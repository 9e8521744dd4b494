// TAudioMixerLine: one line of the open mixer and its controls.
#include <algorithm>

#include "audio/scWaveMixer.h"
#include "audio/scWaveUtils.h"
#include "platform/WaveInput.h"

namespace tolm {

namespace {

// The order in which a line's controls are looked up.
constexpr TMixerControlType kControlTypes[kMixerControlTypeCount] = {
    TMixerControlType::mcVolume, TMixerControlType::mcMute, TMixerControlType::mcSelect, TMixerControlType::mcMix};

std::size_t Slot(TMixerControlType type) {
    return static_cast<std::size_t>(type);
}

// How many of the names before `index` equal the one at `index`.
std::size_t RankOf(const std::vector<std::string>& names, std::size_t index) {
    return static_cast<std::size_t>(
        std::count(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(index), names[index]));
}

}  // namespace

std::uint32_t MixerControlTypeCode(TMixerControlType type) {
    switch (type) {
        case TMixerControlType::mcVolume:
            return MIXERCONTROL_CONTROLTYPE_VOLUME;
        case TMixerControlType::mcMute:
            return MIXERCONTROL_CONTROLTYPE_MUTE;
        case TMixerControlType::mcSelect:
            return MIXERCONTROL_CONTROLTYPE_MUX;
        case TMixerControlType::mcMix:
            return MIXERCONTROL_CONTROLTYPE_MIXER;
    }
    return 0;
}

std::string TruncateName(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // A multi-byte character that does not fit is dropped whole, so the name stays valid UTF-8.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

TAudioMixerLine::TAudioMixerLine(TAudioMixer& mixer, int sourceIndex) : mixer_(&mixer) {
    Refresh(sourceIndex);
}

const MixerControlInfo& TAudioMixerLine::Controls(TMixerControlType type) const {
    return controls_[Slot(type)];
}

void TAudioMixerLine::Refresh(int sourceIndex) {
    sourceIndex_ = sourceIndex;
    lineInfo_ = MixerLineInfo{};
    lineInfo_.dwDestination = mixer_->DestinationID();
    lineRead_ = false;
    availableControls_ = {};
    controls_.fill(MixerControlInfo{});
    MixerDevice* device = mixer_->Device();
    if (device == nullptr) {
        lastError_ = MMSYSERR_INVALHANDLE;
        return;
    }
    MixerLineInfo info = lineInfo_;
    lastError_ = sourceIndex < 0 ? device->GetLineInfoByDestination(lineInfo_.dwDestination, info)
                                 : device->GetLineInfoBySource(lineInfo_.dwDestination,
                                                               static_cast<std::uint32_t>(sourceIndex), info);
    if (lastError_ != MMSYSERR_NOERROR) return;
    lineInfo_ = std::move(info);
    lineInfo_.name = TruncateName(lineInfo_.name, kMixerNameBytes);
    lineInfo_.shortName = TruncateName(lineInfo_.shortName, kMixerShortNameBytes);
    lineRead_ = true;
    for (TMixerControlType type : kControlTypes) {
        MixerControlInfo control;
        if (device->GetControlByType(lineInfo_.dwLineID, MixerControlTypeCode(type), control) != MMSYSERR_NOERROR) {
            continue;
        }
        control.name = TruncateName(control.name, kMixerNameBytes);
        control.shortName = TruncateName(control.shortName, kMixerShortNameBytes);
        controls_[Slot(type)] = std::move(control);
        availableControls_.Add(type);
    }
}

bool TAudioMixerLine::FindControl(std::uint32_t controlId, TMixerControlType& type) const {
    for (TMixerControlType candidate : kControlTypes) {
        if (availableControls_.Has(candidate) && controls_[Slot(candidate)].dwControlID == controlId) {
            type = candidate;
            return true;
        }
    }
    return false;
}

int TAudioMixerLine::Volume() {
    if (!availableControls_.Has(TMixerControlType::mcVolume)) {
        lastError_ = MIXERR_INVALCONTROL;
        return -1;
    }
    MixerDevice* device = mixer_->Device();
    if (device == nullptr) {
        lastError_ = MMSYSERR_INVALHANDLE;
        return -1;
    }
    const MixerControlInfo& control = Controls(TMixerControlType::mcVolume);
    std::vector<std::uint32_t> values;
    lastError_ = device->GetControlValues(control.dwControlID, values);
    if (lastError_ != MMSYSERR_NOERROR) return -1;
    if (values.empty()) {
        lastError_ = MMSYSERR_ERROR;
        return -1;
    }
    // A device reporting more than its maximum still reads as a percentage.
    return static_cast<int>(std::min<std::uint64_t>(ScaledMulDiv(values[0], 100, control.dwMaximum), 100));
}

void TAudioMixerLine::SetVolume(int percent) {
    if (!availableControls_.Has(TMixerControlType::mcVolume)) {
        lastError_ = MIXERR_INVALCONTROL;
        return;
    }
    MixerDevice* device = mixer_->Device();
    if (device == nullptr) {
        lastError_ = MMSYSERR_INVALHANDLE;
        return;
    }
    const MixerControlInfo& control = Controls(TMixerControlType::mcVolume);
    const auto clamped = static_cast<std::uint32_t>(std::clamp(percent, 0, 100));
    const auto value = static_cast<std::uint32_t>(ScaledMulDiv(control.dwMaximum, clamped, 100));
    lastError_ = device->SetControlValues(control.dwControlID, {value});
}

bool TAudioMixerLine::ListControl(TMixerControlType& type) {
    if (availableControls_.Has(TMixerControlType::mcMix)) {
        type = TMixerControlType::mcMix;
    } else if (availableControls_.Has(TMixerControlType::mcSelect)) {
        type = TMixerControlType::mcSelect;
    } else {
        lastError_ = MIXERR_INVALCONTROL;
        return false;
    }
    if (mixer_->Device() == nullptr) {
        lastError_ = MMSYSERR_INVALHANDLE;
        return false;
    }
    return true;
}

int TAudioMixerLine::SelectedLine() {
    TMixerControlType type;
    if (!ListControl(type)) return -1;
    std::vector<std::uint32_t> values;
    lastError_ = mixer_->Device()->GetControlValues(Controls(type).dwControlID, values);
    if (lastError_ != MMSYSERR_NOERROR) return -1;
    for (std::size_t item = 0; item < values.size(); ++item) {
        if (values[item] != 0) return ItemToLineIndex(static_cast<std::uint32_t>(item), type);
    }
    return -1;
}

void TAudioMixerLine::SetSelectedLine(int sourceIndex) {
    TMixerControlType type;
    if (!ListControl(type)) return;
    const int item = LineToItemIndex(sourceIndex, type);
    if (item < 0) {
        lastError_ = MMSYSERR_INVALPARAM;
        return;
    }
    // Even a multiple-choice list is left with exactly one input.
    std::vector<std::uint32_t> values(Controls(type).cMultipleItems, 0);
    values[static_cast<std::size_t>(item)] = 1;
    lastError_ = mixer_->Device()->SetControlValues(Controls(type).dwControlID, values);
}

bool TAudioMixerLine::ReadItemNames(TMixerControlType type, std::vector<std::string>& names) {
    const MixerControlInfo& control = Controls(type);
    std::vector<MixerListText> items;
    lastError_ = mixer_->Device()->GetListTexts(control.dwControlID, items);
    if (lastError_ != MMSYSERR_NOERROR) return false;
    const std::size_t count = std::min<std::size_t>(items.size(), control.cMultipleItems);
    names.clear();
    for (std::size_t i = 0; i < count; ++i) names.push_back(TruncateName(items[i].name, kMixerNameBytes));
    return true;
}

int TAudioMixerLine::ItemToLineIndex(std::uint32_t item, TMixerControlType type) {
    if (!availableControls_.Has(type)) {
        lastError_ = MIXERR_INVALCONTROL;
        return -1;
    }
    if (item >= Controls(type).cMultipleItems) {
        lastError_ = MMSYSERR_INVALPARAM;
        return -1;
    }
    std::vector<std::string> names;
    if (!ReadItemNames(type, names)) return -1;
    if (item < names.size()) {
        // Inputs of the same name (two identical microphones) pair up in the order both lists give them.
        std::size_t rank = RankOf(names, item);
        for (const auto& line : mixer_->lines_) {
            if (line->Name() == names[item] && rank-- == 0) return line->SourceIndex();
        }
    }
    lastError_ = MMSYSERR_INVALPARAM;
    return -1;
}

int TAudioMixerLine::LineToItemIndex(int sourceIndex, TMixerControlType type) {
    if (!availableControls_.Has(type)) {
        lastError_ = MIXERR_INVALCONTROL;
        return -1;
    }
    const std::string name = mixer_->Lines(sourceIndex).Name();
    std::size_t rank = 0;
    for (int i = 0; i < sourceIndex; ++i) rank += mixer_->Lines(i).Name() == name ? 1 : 0;
    std::vector<std::string> names;
    if (!ReadItemNames(type, names)) return -1;
    for (std::size_t item = 0; item < names.size(); ++item) {
        if (names[item] == name && rank-- == 0) return static_cast<int>(item);
    }
    return -1;
}

}  // namespace tolm
