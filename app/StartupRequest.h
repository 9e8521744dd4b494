#pragma once

namespace tolm {

// What tolm-capture's command line asks for before any window: its usage, its version, or the window itself.
// The first --help or --version decides; every other argument keeps its own handling.
enum class StartupRequest { window, help, version };

StartupRequest StartupRequestOf(int argc, const char* const* argv);

const char* CaptureUsageText();

}  // namespace tolm
