// What both programs do at start: check the output directory, read the run
// settings, check them and build the whole-strand model from them; and how a
// run ends (exit statuses).
#pragma once

#include <functional>

#include "control_points.h"
#include "headers.h"
#include "settings_file.h"
#include "tepora.h"

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

// Cell counts of the whole-strand grid the settings give.
struct GridSize {
  double ndr, ndphi, ndz;
  double Cells() const { return ndr * ndphi * ndz; }
};

// Stops with bad input unless "TeporaOut" is a writable directory.
void CheckOutputDir();

// Removes what runs killed while saving left of the result files: the
// temporaries of the files both programs write, once their inputs are
// accepted.
void ClearStaleTemporaries();

// Stops with bad input when the settings cannot give a run: cell widths,
// time step, radius and length must be positive, the ambient temperature
// above absolute zero and below the casting temperature, casting speeds and
// the spray htc not negative, and the grid must have at least 2 radial
// cells, 3 angular cells and 3 slices. Returns the grid's cell counts.
GridSize CheckRunSettings(const vec& Numset, const vec& Techset, const SettingsFile& num,
                          const SettingsFile& tech, const SettingsNeeds& needs);

// Memory a run holds, estimated from the arrays it keeps per cell: the
// simulator's, and the optimiser's with `threads` element models of
// `element_slices` slices each at once.
double SimulatorBytes(const GridSize& grid);
double OptimiserBytes(const GridSize& grid, double element_slices, int threads);

// Stops with bad input, before anything is allocated, when a run of `bytes`
// would not fit in the memory this machine has available.
void CheckMemory(const GridSize& grid, double bytes);

// The control points the optimiser works with: checked text of at least
// four numbers a line.
ControlPoints LoadControlPoints(const char* path);

// The control points the simulator reads and does not use, through the
// library's load, which warns when the file is missing; a pipe or a device,
// which would never end, is only reported.
ControlPoints UnusedControlPoints(const char* path);

// The optimiser's inputs that need no model, checked before the model is
// built: the optimiser settings, the control points against the grid, the
// elements against the strand, and the memory of the run.
void CheckOptimiserInputs(const ControlPoints& CP, const vec& Numset, const GridSize& grid,
                          double overlap);

// The whole-strand model from the settings: widths and time step from the
// numerical settings (angular width as a multiple of pi), radius, length,
// temperatures, casting speed (m/min) and spray htc from the technological.
Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax,
                        const char* table);

// Prints one warning line when the time step exceeds the stability limit
// estimated for the model's grid and material table at the casting speed
// (m/s) of the run; the run goes on.
void WarnIfUnstable(Tepora& P, double speed, const SettingsFile& num);

// Runs a program's work and maps its end onto the exit status: 0 done,
// 1 stopped while computing, 2 bad input, 3 a result file not written.
int RunProgram(const std::function<void()>& work);

// Prints "\n Elapsed time is %.2lf minutes." for the time since start.
void PrintElapsed(time_t start);
