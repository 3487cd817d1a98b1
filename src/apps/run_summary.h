// What the simulator reports after a run: the strand slice by slice
// (TeporaOut/Strand.csv), the figures an engineer checks first
// (TeporaOut/Summary.json and a block on the console), and the control
// points against their targets.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "optimise/control_points.h"
#include "model/cooling.h"
#include "model/tepora.h"

namespace tepora {

// What the run was asked for, beside the model.
struct RunFacts {
  int steps;                 // time steps run
  double htc_default;        // spray htc of slices in no zone, W/(m^2 K)
  const CasterZones* zones;  // the caster's zones (and steel, when stated)
  const char* steel_source;  // where a stated solidus and liquidus come from
  bool steady_solve = false;  // the field is the steady strand solved directly (--steady)
  // Of a transient run: the largest difference of a cell's temperature to
  // the steady strand, K; NaN when not computed.
  double steady_distance = NAN;
  // Of a run that followed a casting schedule: its extremes and real-time
  // factor as (key, value), under "schedule" in Summary.json; empty otherwise.
  std::vector<std::pair<std::string, double>> schedule_figures;
};

// The step before which the solver keeps a copy of the field for the
// steadiness check: a tenth of the run before its end.
int SteadinessSnapshotStep(int steps);

// Derives the results from the model's final field, writes Strand.csv and
// Summary.json whole, and prints the summary block; warns on one line when
// the strand is not yet steady.
void ReportStrand(Tepora& P, const RunFacts& facts, const ControlPoints& CP);

}  // namespace tepora
