// Everything a program's main uses to start a run: the process and the
// command line, the directories, the settings and their checks, the memory
// estimate and the whole-strand model.
#pragma once

#include "command_line.h"
#include "memory_estimate.h"
#include "program_start.h"
#include "run_directories.h"
#include "run_settings.h"
