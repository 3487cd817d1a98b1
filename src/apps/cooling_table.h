// tepora-opt --speeds: the caster's spray zones designed at every casting
// speed, the plant's cooling table (TeporaOut/CoolingTable.csv, one row a
// speed) and its plot.
#pragma once

#include <vector>

#include "optimise/control_points.h"
#include "model/tepora.h"
#include "model/cooling.h"

namespace tepora {

// Designs `zones` at every speed of `speeds` (m/min) on copies of P, the
// speeds spread over the OpenMP threads (each design is the same on any
// thread, and the rows and warnings come in speed order); writes the table
// whole and prints one line a speed.
void WriteCoolingTable(const Tepora& P, const CasterZones& zones, const ControlPoints& CP,
                       const std::vector<double>& speeds, const char* caster, const char* points);

}  // namespace tepora
