// Everything a program's main uses to start a run: the process and the
// command line, the directories, the settings and their checks, the memory
// estimate and the whole-strand model.
#pragma once

#include "apps/command_line.h"
#include "apps/memory_estimate.h"
#include "apps/program_start.h"
#include "apps/run_directories.h"
#include "apps/run_settings.h"

namespace tepora {



}  // namespace tepora
