#pragma once

// Servers of a test's own, for tests that kill them: never the shared display or sound server.
#include <sys/types.h>

#include <string>

#include "support/ScopedEnv.h"

namespace tolm::testing {

// An Xvfb on a free display number; Kill ends it at once, the way a crash would.
class PrivateXvfb {
  public:
    PrivateXvfb();  // DisplayName() is empty when it did not start
    ~PrivateXvfb();
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    const std::string& DisplayName() const { return displayName_; }
    void Kill();
    // Stops it without ending it: its clients wait for answers that do not come.
    void Freeze();

  private:
    pid_t pid_ = -1;
    std::string displayName_;
};

// A PulseAudio with one 440 Hz source (its only one, so the default) in a runtime folder of its own.
class PrivatePulse {
  public:
    PrivatePulse();  // Address() is empty when it did not answer
    ~PrivatePulse();
    PrivatePulse(const PrivatePulse&) = delete;
    PrivatePulse& operator=(const PrivatePulse&) = delete;

    // The value for PULSE_SERVER.
    const std::string& Address() const { return address_; }
    void Kill();

  private:
    pid_t pid_ = -1;
    std::string dir_;
    std::string address_;
};

// A tmpfs mounted for a test; unmounted when it goes. Mounted() is false (with Problem() saying why) where the
// machine does not allow it.
class ScopedTmpfs {
  public:
    // `options` as tmpfs takes them ("size=64m,mode=700").
    ScopedTmpfs(const std::string& where, const std::string& options, bool readOnly = false);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Problem() const { return problem_; }

  private:
    std::string where_;
    bool mounted_ = false;
    std::string problem_;
};

}  // namespace tolm::testing
