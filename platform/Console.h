#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolm {

// What a program run from a terminal or a console needs of the system.

// The arguments after the program's name as UTF-8 text: argv where the system hands text over as it is, the
// wide command line on Windows (whose argv is in the ANSI code page). Standard output and error are set to show
// UTF-8 text as well.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// While it lives, the user's interrupts reach `onInterrupt` on a thread of their own, counted from 1: Ctrl+C
// and a request to end the program (SIGINT and SIGTERM; on Windows Ctrl+C, Ctrl+Break and the console's
// closing). Made before any other thread starts, so that on POSIX every thread leaves the signals to it. A
// console closed on Windows ends the program once its handler returns, so that handler waits until the watcher
// goes (or until Windows stops waiting), and the save it asked for has its time.
class InterruptWatcher {
  public:
    explicit InterruptWatcher(std::function<void(int count)> onInterrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;  // POSIX: the signal thread; Windows keeps one state for its console handler
};

}  // namespace tolm
