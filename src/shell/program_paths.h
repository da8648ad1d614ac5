// Where the window keeps its settings file and work folder: the rule lives in the fleet core,
// which the runner shares.
#pragma once

#include "fleet/program_paths.h"

namespace shell {

using fleet::LocateProgramFiles;
using fleet::ProgramFiles;
using fleet::UserEnvironment;

}  // namespace shell
