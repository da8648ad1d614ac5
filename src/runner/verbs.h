// The verb the command line names, run on the context's ports.
#pragma once

#include "runner/cli_options.h"
#include "runner/context.h"

namespace runner {

// The verb's exit code.
int RunVerb(const CliOptions& options, Context& context);

}  // namespace runner
