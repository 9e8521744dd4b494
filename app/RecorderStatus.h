#pragma once

#include <string>

namespace tolm {

// What the user is told of the recorder besides the state line, followed from the window's engine events: the
// tray icon's text and which of its menu's commands apply, and the file the last save wrote. No toolkit.
class RecorderStatus {
  public:
    enum class Phase { idle, recording, paused, saving, saved };

    // `elapsed` as the engine writes it: "h : m : s : ms".
    void Recording(bool paused, const std::string& elapsed);
    // A step of the save (or of the deletions after it) at `percent`.
    void Saving(int percent, const std::string& caption);
    void Saved(const std::string& file);
    // The recording's worker has ended: a saved file stays on show until the next recording.
    void Finished();

    Phase CurrentPhase() const { return phase_; }
    // "Recording 0 : 1 : 12", "Paused 0 : 1 : 12", "Saving Video... 45%", "Saved: clip.avi"; "" while idle.
    std::string StatusText() const;
    bool CanPause() const { return phase_ == Phase::recording || phase_ == Phase::paused; }
    bool CanStop() const { return CanPause(); }
    bool CanCancel() const { return CanPause() || phase_ == Phase::saving; }
    std::string PauseText() const { return phase_ == Phase::paused ? "Resume" : "Pause"; }
    // The file the last save wrote, while it is on show; "" otherwise.
    const std::string& SavedFile() const { return savedFile_; }

  private:
    Phase phase_ = Phase::idle;
    std::string elapsed_;
    std::string caption_;
    int percent_ = 0;
    std::string savedFile_;
};

}  // namespace tolm
