// The command line both programs share:
//   --help, --version, --model cylindrical|flat, --plot-range LO,HI,
//   --no-plot, -C DIR, the simulator's --steady and the optimiser's --speeds
#pragma once

#include <optional>
#include <vector>

#include "model/step.h"

namespace tepora {

struct ProgramOptions {
  // The discretisation of the time step; the flat one reproduces results of
  // earlier versions to the last bit.
  Formulation model = Formulation::Cylindrical;
  // --steady is offered (by the simulator) when true before the command line
  // is read; set when given: the steady strand solved directly.
  bool steady_offered = false;
  bool steady = false;
  // --speeds FIRST:LAST:STEP is offered (by the optimiser) when true; the
  // casting speeds it gives, m/min, first to last, empty without it.
  bool speeds_offered = false;
  std::vector<double> speeds;
};

// Reads the command line of `program`, whose --help begins with `what`, a
// sentence on what the program does. Returns the exit status when the
// program ends here: 0 after --help or --version, 2 after one line on
// standard error for an unknown argument, a bad value or a directory that
// -C cannot enter; nothing when the run goes on. -C changes into its
// directory here, before any input is read, and --plot-range and --no-plot
// set up the plot here.
std::optional<int> ReadCommandLine(int argc, char** argv, const char* program,
                                   const char* what, ProgramOptions& options);

}  // namespace tepora
