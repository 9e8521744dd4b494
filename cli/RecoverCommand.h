#pragma once

#include "cli/CommandLine.h"

namespace tolm::cli {

// Saves what a killed recording left into options.outputFile: 0 when saved, 1 when there was nothing to recover
// or the save failed.
int RecoverCommand(const Options& options);

}  // namespace tolm::cli
