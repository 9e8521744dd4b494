#pragma once

#include "cli/CommandLine.h"

namespace tolm::cli {

// Saves the newest interrupted recording that can be read (a killed recorder's files, or a pair kept after a
// failed save or a cancel by the Escape key) into options.outputFile, naming those that cannot, and says how many
// older ones are left for the next run: 0 when saved, 1 when there was nothing to recover or nothing could be
// saved (the files are then kept).
int RecoverCommand(const Options& options);

}  // namespace tolm::cli
