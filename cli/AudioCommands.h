#pragma once

#include <string>

#include "capture/ScreenCamera.h"
#include "cli/CommandLine.h"

namespace tolm::cli {

// Prints the twenty stock sound formats with the numbers --audio-format takes.
int ListAudioFormatsCommand(const Options& options);

// Prints the recording mixer's lines with their volumes, marking the selected one.
int ListAudioInputsCommand(const Options& options);

// Makes options.audioInput the recording input; false with `error` when there is no source line of that name.
bool SelectAudioInput(const Options& options, TScreenCamera& camera, std::string& error);

}  // namespace tolm::cli
