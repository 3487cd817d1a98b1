// The steady strand solved directly, slice by slice from the meniscus.
//
// A run of the cylindrical step that has stopped changing satisfies, for
// every slice k it updates (the slice before slice 0 is the casting steel
// entering through the meniscus),
//
//   vz (H_k - H_{k-1}) / dz_k = L_k(H_k) + axial conduction,
//
// with L_k the step's cross-section operator of slice k: the radial and
// angular Kirchhoff face fluxes, the disc on the axis and the surface flux
// under slice k's zone. Axial conduction is left out: along the strand heat
// moves by transport v dz / a, some 500 times faster than by conduction on
// the example's slices. What remains is one implicit Euler step of the
// cross-section over the travel time dz_k / vz per slice, and the slices
// follow one another from the inlet without iteration over the strand.
// These are the transient's own discrete equations on its own slices, not
// an exact march in t = z / v, so that the two steady strands differ by the
// axial conduction alone and share the slices' discretisation error.
#pragma once

#include "model/tepora.h"

namespace tepora {

// What a steady solve did, summed over the slices it solved.
struct SteadyStats {
  int slices = 0;             // slices solved (the outlet slice copies the one before)
  int axisymmetric = 0;       // of them, solved as rings alone: every sector alike
  int newton_steps = 0;       // Newton steps, linear solves
  int factorisations = 0;     // of a whole cross-section's Jacobian (none on the rings)
  double largest_residual = 0;  // largest residual left in a cell, J/m^3
};

// The steady strand on the model's grid, and the heat that flows through it.
struct SteadyStrand {
  cube H;  // enthalpy of every cell, J/m^3 (the disc's in each of its sectors)
  cube T;  // temperature, degC
  SteadyStats stats;
  double surface_out = 0;  // heat lost through the surface, W, slices 0 .. K-2
  double carried_in = 0;   // steel's enthalpy carried in through the meniscus, W
  double carried_out = 0;  // and out of slice K-2 into the outlet slice, W
  // In minus out, zero to the solve's residual, W.
  double Imbalance() const { return carried_in - carried_out - surface_out; }
};

// Solves the steady strand of the model's cylindrical step from the casting
// temperature at the meniscus, under the model's zones and cooling; the
// model's own fields stay as they are. A slice whose upstream field and
// cooling are the same in every sector is solved on its rings alone, which
// is the same answer (every angular flux is zero), unless `use_symmetry` is
// false. Throws InputError without a casting speed, std::runtime_error when
// a slice does not converge, TableRangeError when it leaves the table.
SteadyStrand SolveSteadyStrand(Tepora& P, bool use_symmetry = true);

// The cylindrical step's constants of a steady solve: the casting steel
// entering through the meniscus. Throws InputError without a casting speed.
CylinderStep SteadyPlan(Tepora& P);

// Slices first .. last (last at most K-2) of the steady strand into `out`
// (H and T sized to the grid), whose slices before `first` hold the strand
// upstream of them: the steel carries every change downstream only, so a
// zone's sprays are solved from the zone down, on the strand above it as it
// stands. SolveSteadyStrand is this from slice 0. Adds to out's stats and
// surface_out; the model's cooling (P.CoolM) is read as it is at the call.
void SolveSteadySlices(Tepora& P, const CylinderStep& plan, int first, int last,
                       SteadyStrand& out, bool use_symmetry = true);

// tepora-sim --steady: the model's field becomes the steady strand
// (P.field.T, P.field.H_final, P.energy as the flows of one second with no change of
// content), written as a transient run writes its final field
// (TeporaOut/H_0.cub, T_0_final.cub, TempProfile_final.mat); prints its heat
// balance on one line.
SteadyStrand ComputeSteady(Tepora& P);

// How far the field of a transient run of `steps` time steps lies from the
// steady strand: the largest difference of a cell's temperature, K (the
// steady strand of the transient step itself differs by its axial
// conduction, see docs/model.md). NaN where the steady strand is not at
// hand: the flat step, no casting speed, a run so short that the solve
// would weigh on it, or a solve that fails.
double DistanceToSteady(Tepora& P, int steps);

}  // namespace tepora
