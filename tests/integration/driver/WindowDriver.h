#pragma once

// The desktop in $DISPLAY as a user's hands reach it: windows found by their titles, clicks and keys through
// xdotool, and the close button of a title bar.
#include <chrono>
#include <string>

namespace tolm::testing {

using namespace std::chrono_literals;

// A point in a window's client area.
struct Spot {
    int x, y;
};

// Runs a shell command and returns its standard output.
std::string Shell(const std::string& command);
// Presses and releases each key in turn (xdotool's names, separated by spaces: "ctrl+a BackSpace").
void Keys(const std::string& keys);
void Click(const std::string& window, Spot spot);

// The id of the visible window with exactly this title, or "" after the timeout.
std::string FindWindow(const std::string& title, std::chrono::seconds timeout = 30s);
// True once no visible window has this title.
bool WaitForNoWindow(const std::string& title, std::chrono::seconds timeout);
// What the title bar's close button does: asks the window to close (WM_DELETE_WINDOW).
void AskToClose(const std::string& window);
// Closes every open box of this title, as its title bar's close button would.
void DismissAll(const std::string& title);

}  // namespace tolm::testing
