// The flat formulation of the time step: second differences of a slab on
// the strand's grid, whole-degree lookups in the material table, the surface
// flux scaled by the surface radius and edge sectors that copy their
// neighbours. Kept so that results computed with it can be reproduced to the
// last bit.
#pragma once

#include <vector>

#include "model/material.h"
#include "model/step.h"
#include "model/thread_choice.h"

namespace tepora {

struct StrandModel;

// Per-run constants of the step, derived once from the grid, the zones and
// the material table so that a step neither allocates nor recomputes them.
// Arrays over one slice (rings x sectors cells, rings fastest) let the arithmetic of a
// whole slice run as one flat loop.
struct FlatStep {
  static constexpr bool kBalanced = false;  // no heat balance is kept
  StepRule rule;                            // the inlet and the mould of the run
  int rings = 0, sectors = 0, slices = 0;  // the grid's ndr, ndphi and ndz
  std::vector<double> dr_c;      // dr(i) of cell c of a slice
  std::vector<double> drsum_c;   // dr(i) + dr(i+1)
  std::vector<double> rdphi2_c;  // (r(i) dphi)^2, the angular metric
  std::vector<double> dzsum;     // dz(k-1) + dz(k)
  std::vector<char> mould;       // slice k takes the mould flux
  std::vector<char> tertiary;    // slice k lies in the air-cooled end zone
  double r_s = 0.0;              // radius of the surface ring
  double rdphi2_s = 0.0;         // its angular metric
  double vzdtau = 0.0;           // distance the strand moves in one step
  // Surface coefficients at the temperature of every table row: natural
  // convection (Ts - T_inf)^(1/3) 0.84 and radiation eps sigma (Tk^2 + Ta^2)(Tk + Ta).
  std::vector<double> natural, radiation;
  // Threads the slices of a step may be split across (see StepThreads),
  // and how many each step takes (see ThreadChoice).
  int threads = 1;
  ThreadChoice choice;
  // Scratch of one slice, one set a thread: radial and axial difference
  // quotients, the sum of the second differences, the transport term.
  struct Scratch {
    std::vector<double> q_r, qz_a, qz_b, S, adv;
  };
  std::vector<Scratch> scratch;

  FlatStep() = default;
  FlatStep(const StrandModel& m, const StepRule& rule);
  void Start(StrandModel&, cube&) {}  // the step reads T and H as they are
  // One explicit time step from (T, H_old) into (H, T_new); every cell ends
  // with the value of the sweep in which the boundary copies run at every visit.
  void Advance(StrandModel& m, const cube& H_old, cube& H, cube& T_new);
  void Advanced() {}
  double HeatContent(const StrandModel&, const cube&) const { return 0.0; }

  // Enthalpy of a temperature at the whole degree's row, J/m^3.
  static double Enthalpy(const Material& material, double t);
  // Surface temperature of every sector (rows) and slice (columns): the
  // outer ring's own, degC.
  static mat SurfaceField(const StrandModel& m);
  // Longest stable time step at a casting speed (m/s) from the table's
  // largest conductivity (W/(m K)) and smallest heat capacity (J/(m^3 K)), s.
  static double StableStep(const StrandModel& m, double speed, double lambda_max, double c_min);
};

}  // namespace tepora
