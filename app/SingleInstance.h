#pragma once

#include <string>

namespace tolm {

// The program's file name without its folder, upper-cased: the name of the single-instance lock, so that copies
// started from file names differing only in letter case count as the same program.
std::string InstanceLockName(const std::string& programPath);

// The caption the application has before it is given its title: the file name without its folder, cut before
// its first dot, every letter after the first in lower case.
std::string DefaultApplicationTitle(const std::string& programPath);

// The running program's full path (/proc/self/exe), or `fallback` when the system does not say.
std::string RunningProgramPath(const std::string& fallback);

// An exclusive lock named `name`: a file of that name (plus ".lock") in the user's private runtime folder,
// locked with flock. A second holder of the same name, in this process or another, is refused while this one
// lives; the system drops it when the process ends, however it ends.
class TSingleInstance {
  public:
    enum class Result { owned, heldElsewhere, failed };

    // `folder` empty: $XDG_RUNTIME_DIR, else /run/user/<uid> when it is ours, else /tmp/tolm-<uid> (created 0700,
    // refused unless it is ours).
    explicit TSingleInstance(const std::string& name, const std::string& folder = {});
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    Result State() const { return result_; }
    // Why the lock could not be taken at all (State() == failed).
    const std::string& Error() const { return error_; }

  private:
    int fd_ = -1;
    Result result_ = Result::failed;
    std::string error_;
};

}  // namespace tolm
