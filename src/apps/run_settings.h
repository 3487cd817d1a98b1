// The run settings both programs read at start, their checks, the control
// points, and the whole-strand model built from them.
#pragma once

#include "optimise/control_points.h"
#include "common/headers.h"
#include "apps/memory_estimate.h"
#include "common/settings_file.h"
#include "model/tepora.h"

namespace tepora {

// The run settings files and the meaning of their lines.
SettingsFile NumSettingsFile(const char* path);   // Input/NumSettings.txt
SettingsFile TechSettingsFile(const char* path);  // Input/TechSettings.txt

// Entries of the run settings each program needs.
struct SettingsNeeds {
  uword num;
  uword tech;
};
const SettingsNeeds kSimNeeds{5, 6};
const SettingsNeeds kOptNeeds{4, 7};

// Stops with bad input when the settings cannot give a run: cell widths,
// time step, radius and length must be positive, the ambient temperature
// above absolute zero and below the casting temperature, casting speeds and
// the spray htc not negative, and the grid must have at least 2 radial
// cells, 3 angular cells and 3 slices, and the simulator's step count must
// not be negative. Warns, one line each, on a radius beyond any caster's
// (with the grid's size) and on zero time steps. Returns the grid's cell
// counts.
GridSize CheckRunSettings(const vec& Numset, const vec& Techset, const SettingsFile& num,
                          const SettingsFile& tech, const SettingsNeeds& needs);

// The control points the optimiser works with: checked text of at least
// four numbers a line.
ControlPoints LoadControlPoints(const char* path);

// The control points the simulator compares with its strand at the end,
// read as the optimiser reads them; a file that cannot serve (missing, not
// text of four numbers a line, a pipe or a device) gives one warning line
// and no points, since the run does not need them.
ControlPoints UnusedControlPoints(const char* path);

// The counts of an optimisation that decide whether its htcs are searched.
struct OptimiserCounts {
  int iterations;     // Input/OptSettings.txt line 4
  int element_steps;  // line 6
};

// The optimiser's inputs that need no model, checked before the model is
// built: the optimiser settings, the control points against the grid, the
// elements against the strand, and the memory of the run with the threads
// the OpenMP runtime starts.
OptimiserCounts CheckOptimiserInputs(const ControlPoints& CP, const vec& Numset,
                                     const GridSize& grid, double overlap);

// Zero iterations print the starting htcs (zeros), zero element steps leave
// every candidate's field as it was, so that the lowest htc wins: in both
// the printed htcs were never searched, which one warning line says.
void WarnIfUnsearched(const OptimiserCounts& counts);

// The whole-strand model from the settings: widths and time step from the
// numerical settings (angular width as a multiple of pi), radius, length,
// temperatures, casting speed (m/min) and spray htc from the technological.
Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax, const char* table);

// Prints one warning line when the time step exceeds the stability limit
// estimated for the model's grid and material table at the casting speed
// (m/s) of the run; the run goes on.
void WarnIfUnstable(Tepora& P, double speed, const SettingsFile& num);

// Prints one warning line when the cylindrical step's slices are longer than
// a tenth of the mould (from `caster`, or the built-in one), so that the
// mould's cooling and the shell at its exit fall on too few slices.
void WarnIfMouldCoarse(const Tepora& P, const SettingsFile& num);

}  // namespace tepora
