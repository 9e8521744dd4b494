#pragma once

#include "cli/CommandLine.h"

namespace tolm::cli {

// Records into options.outputFile until the duration, a stop key or a signal. 0 when the file was saved as
// asked; 3 when it was saved but a fault during the recording cut it short or took its sound (a message said
// which); 1 when nothing was saved.
int RecordCommand(const Options& options);

// Prints the compressors that take frames of the chosen area.
int ListCodecsCommand(const Options& options);
// Each monitor of the chosen backend's screen, numbered as --monitor takes them.
int ListMonitorsCommand(const Options& options);

}  // namespace tolm::cli
