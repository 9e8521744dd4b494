#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "capture/CameraTypes.h"
#include "platform/AudioMixer.h"

namespace tolm {

// The recording mixer's inputs as the user interface lists them: rebuilt and changed on the main thread, read from any.
// Thread-safe.
class SoundInputs {
  public:
    // Without a mixer service the list stays empty.
    explicit SoundInputs(MixerService* mixers) : mixers_(mixers) {}

    // Rebuilds the list: the mixer's source lines, then its destination line.
    std::vector<std::string> Rebuild();
    std::vector<std::string> Names() const;
    TGetAudioInfo Lines() const;
    // The selected source line, -1 when the mixer reports none.
    int SelectedIndex() const;
    // Makes the named source line the one recorded.
    void Select(const std::string& lineName);
    // Sets the named line's volume in percent (clamped to 0..100).
    void SetVolume(const std::string& lineName, int volume);

  private:
    MixerService* mixers_;
    mutable std::mutex mutex_;
    std::vector<std::string> names_;
    TGetAudioInfo lines_;
    int selected_ = -1;
    // The mixer line each entry of names_ names: inputs of one name are told apart by these.
    std::vector<std::uint32_t> lineIds_;
};

}  // namespace tolm
