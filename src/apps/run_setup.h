// What both programs do at start: check the output directory, read the run
// settings, check them and build the whole-strand model from them; and how a
// run ends (exit statuses).
#pragma once

#include <functional>

#include "headers.h"
#include "tepora.h"

// Entries of the run settings each program needs.
struct SettingsNeeds {
  uword num;   // Input/NumSettings.txt
  uword tech;  // Input/TechSettings.txt
};
const SettingsNeeds kSimNeeds{5, 6};
const SettingsNeeds kOptNeeds{4, 7};

// Stops with bad input unless "TeporaOut" is a writable directory.
void CheckOutputDir();

// Stops with bad input when the settings cannot give a grid: cell widths,
// radius and length must be positive, and the grid must have at least 2
// radial cells, 3 angular cells and 3 slices.
void CheckGrid(const vec& Numset, const vec& Techset, const char* Numfname,
               const char* Techfname);

// The whole-strand model from the settings: widths and time step from the
// numerical settings (angular width as a multiple of pi), radius, length,
// temperatures, casting speed (m/min) and spray htc from the technological.
Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax,
                        const char* table);

// Runs a program's work and maps its end onto the exit status: 0 done,
// 1 stopped while computing, 2 bad input, 3 a result file not written.
int RunProgram(const std::function<void()>& work);

// Prints "\n Elapsed time is %.2lf minutes." for the time since start.
void PrintElapsed(time_t start);
