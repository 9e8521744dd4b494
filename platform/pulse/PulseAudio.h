#pragma once

// The sound backends over a PulseAudio server (PulseAudio itself or PipeWire's pulse service).

#include <memory>
#include <string>

#include "platform/AudioMixer.h"
#include "platform/WaveInput.h"

namespace tolm {

// Wave input devices: one per server source. The service connects when first asked and again after the server
// went away; `clientName` is how the server lists this program.
std::unique_ptr<WaveInService> CreatePulseWaveInService(const std::string& clientName);

// One mixer whose destination "Recording Control" lists the server's sources; without a server, no mixer.
std::unique_ptr<MixerService> CreatePulseMixerService(const std::string& clientName);

// A program's sound input: the source its mixer's "Recording Control" selects is the one its wave input records
// from (device 0). The selection is the program's own, starting at the server's default source, which it never
// changes. The services above on their own record from, and select, each a choice of their own.
struct PulseSoundInput {
    std::unique_ptr<WaveInService> waveIn;
    std::unique_ptr<MixerService> mixers;
};
PulseSoundInput CreatePulseSoundInput(const std::string& clientName);

}  // namespace tolm
