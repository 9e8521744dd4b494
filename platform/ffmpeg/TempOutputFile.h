#pragma once

#include <string>

#include "platform/VideoTypes.h"

namespace tolm::ffmpeg {

// A fresh file beside `target` that becomes the target only when committed; otherwise it is deleted, so a
// failed or cancelled write never leaves a partial target behind (nor removes an existing one).
class TempOutputFile {
  public:
    TempOutputFile() = default;
    ~TempOutputFile();
    TempOutputFile(const TempOutputFile&) = delete;
    TempOutputFile& operator=(const TempOutputFile&) = delete;

    // Creates the file exclusively under a new name in the target's folder.
    AviResult Reserve(const std::string& target);
    const std::string& Path() const { return path_; }

    // Renames the file to the target, replacing what is there.
    AviResult Commit();

  private:
    std::string target_;
    std::string path_;
    bool committed_ = false;
};

// Renames the finished file `from` to `target`, replacing what is there in one step. Fails, changing
// nothing, when the two are on different file systems.
AviResult MoveIntoPlace(const std::string& from, const std::string& target);

}  // namespace tolm::ffmpeg
