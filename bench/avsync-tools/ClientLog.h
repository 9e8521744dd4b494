// The client's own account of each event, to take its timing error out of the measured offsets.
#pragma once

#include "SyncStats.h"

#include <optional>
#include <string>
#include <vector>

namespace tolm::avsync {

struct ClientEvent {
    double flash;  // seconds since the client's start when the flash was on the screen
    double lagMs;  // how long after the beep's onset in the sink that was
};

// The "event N beep_ms flash_ms latency_ms" lines; false when the file cannot be read.
bool ReadClientLog(const std::string& path, std::vector<ClientEvent>& out);

// For each pair, the lag of the client event that made it, or nothing when none matches. The file's clock and
// the client's differ by when the recording started, and again after every pause: a new offset between them is
// taken from whichever client event best explains the next few pairs.
std::vector<std::optional<double>> MatchClientEvents(const std::vector<SyncPair>& pairs,
                                                     const std::vector<ClientEvent>& events);

}  // namespace tolm::avsync
