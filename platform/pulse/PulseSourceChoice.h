#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseSources.h"

namespace tolm::pulse {

// The source a program records from: the one chosen in its recording mixer while the server has it, else the
// server's default source. The choice stays the program's own; the desktop's default is never changed.
// Thread-safe.
class SourceChoice {
  public:
    void Choose(std::string sourceName);
    // The name of the source recorded from, given the server's `sources`; needs the loop locked. PA_OK or a
    // PA_ERR_* number.
    int Recorded(PulseConnection& connection, const std::vector<SourceInfo>& sources, std::string& name) const;

  private:
    mutable std::mutex mutex_;
    std::string chosen_;
};

}  // namespace tolm::pulse
