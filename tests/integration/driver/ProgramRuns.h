#pragma once

// Programs of ours run as a user runs them; what they write to their log file is what the tests read.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "integration/PollUntil.h"

namespace tolm::testing {

using namespace std::chrono_literals;

// Starts the program `args[0]` with its standard output and error in `log`. `inChild` runs in the child before
// the program starts (its environment, limits, signal dispositions).
pid_t Spawn(std::vector<std::string> args, const std::string& log = "/dev/null",
            const std::function<void()>& inChild = {});
// The exit status once the program has ended (128 when a signal ended it), or -1 when it still runs after the
// timeout.
int WaitForExit(pid_t pid, std::chrono::milliseconds timeout);

std::string Slurp(const std::string& path);
// How often `part` occurs in `text` (overlapping occurrences count).
int Count(const std::string& text, const std::string& part);
// How often `text` stands in the log.
int CountText(const std::string& log, const std::string& text);
bool WaitForText(const std::string& log, const std::string& text, std::chrono::milliseconds timeout);
// True once `text` stands in the log at least `count` times.
bool WaitForCount(const std::string& log, const std::string& text, int count, std::chrono::milliseconds timeout);

}  // namespace tolm::testing
