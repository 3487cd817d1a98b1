// The simulated strand at the control points: how the optimise, re-simulate
// loop is judged.
#pragma once

#include "control_points.h"
#include "tepora.h"

// Prints, for every control point that lies in the strand's grid, the
// temperature of the cell that holds it in the final field (the cell the
// optimiser scores), its target and the deviation; a point outside the grid
// gets one warning line.
void PrintControlPointCheck(const Tepora& P, const ControlPoints& CP);
