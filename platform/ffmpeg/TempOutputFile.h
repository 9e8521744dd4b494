#pragma once

#include <string>

#include "platform/PartFiles.h"
#include "platform/VideoTypes.h"

namespace tolm::ffmpeg {

// A fresh file beside `target` that becomes the target only when committed; otherwise it is deleted, so a
// failed or cancelled write never leaves a partial target behind (nor removes an existing one).
class TempOutputFile {
  public:
    // Creates the file exclusively under a new name in the target's folder.
    AviResult Reserve(const std::string& target);
    const std::string& Path() const { return part_.Path(); }

    // Renames the file to the target, replacing what is there.
    AviResult Commit();

    // Why Reserve or Commit failed: the target and the system's reason.
    const std::string& Problem() const { return problem_; }

  private:
    std::string target_;
    PartFile part_;
    std::string problem_;
};

// Renames the finished file `from` to `target`, replacing what is there in one step. Fails, changing
// nothing, when the two are on different file systems; `problem` then says why.
AviResult MoveIntoPlace(const std::string& from, const std::string& target, std::string& problem);

}  // namespace tolm::ffmpeg
