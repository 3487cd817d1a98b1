// What the optimiser reports at the end: every element's range and htc,
// every control point against its target in the assembled strand, and what
// each iteration still changed (TeporaOut/OptReport.json and a console
// table), with a warning line for each sign that the htcs found are not to
// be trusted as they stand.
#pragma once

#include "optimise/control_points.h"
#include "model/cooling.h"
#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

// `CP` holds the points as read (positions in m); `searched` is false when
// no iteration or no element step ran. Warns when a chosen htc sits at the
// lowest or highest candidate, when an element holds more than one point
// (only its last is scored), and when the last iteration still moved an
// htc or left neighbouring elements more than 10 K apart.
void ReportOptimiser(const Optimise& C, Tepora& P, const ControlPoints& CP,
                     const CasterZones& zones, double overlap, bool searched);

}  // namespace tepora
