// What every formulation of the time step shares: the grid it needs, the
// choice among formulations, and the rule of a run at the strand's inlet and
// in the mould.
//
// A formulation is a class of its own file (flat_step.h, cylinder_step.h)
// that holds the constants and the state of a run beside T and H, built from
// the model and a rule, with
//   S(const StrandModel& m, const StepRule& rule)   the constants of a run;
//   void Start(StrandModel& m, cube& H)             the state at the first step;
//   void Advance(StrandModel& m, const cube& H_old, cube& H, cube& T_new)
//                                              one step from (T, H_old);
//   void Advanced()                            after T and H are swapped;
//   kBalanced, HeatContent(m, H)               whether it keeps a heat
//                                              balance, and the content;
//   static Enthalpy(material, t), SurfaceField(m), StableStep(m, ...)
//                                              its reading of the table,
//                                              the surface and its stability.
// The model runs every formulation through one loop (Tepora::StepsFrom),
// chosen once per run by WithFormulation (formulations.h): a call per
// step, none per cell.
#pragma once

#include <armadillo>
#include <vector>

#include "model/cooling.h"
#include "model/thread_choice.h"

namespace tepora {

// Both steps need 2 rings (an axis and a surface), 3 sectors and 3 slices
// (an inlet, an outlet and one slice between); stops the run otherwise.
void RequireSolverGrid(int I, int J, int K);

// How the time step discretises the heat equation.
enum class Formulation {
  // Finite volumes on the rings, sectors and slices: fluxes through every
  // face at the face's own radius, the surface flux in W/m^2, a closed ring
  // of sectors, a disc cell on the axis, and temperature and conductivity
  // interpolated between the material table's rows.
  Cylindrical,
  // Second differences of a slab on the same grid, whole-degree lookups, the
  // surface flux scaled by the surface radius and edge sectors that copy
  // their neighbours: kept so that results computed with it can be
  // reproduced to the last bit.
  Flat,
};

// "cylindrical" or "flat".
const char* FormulationName(Formulation f);

enum class InletKind {
  // Steel of one enthalpy enters the strand. In the cylindrical step it
  // flows in through the face at z = 0 (the meniscus), and slice 0 is an
  // ordinary slice, cooled by its zone; in the flat step every cell of
  // slice 0 holds that enthalpy.
  Fixed,
  ZeroGradient,  // slice 0 copies slice 1
  Field,         // slice 0 holds a given enthalpy per cell
  Free,          // slice 0 is not driven: only the axis and edge copies act on it
};

struct StepRule {
  InletKind inlet = InletKind::Fixed;
  double H_inlet = 0.0;  // Fixed
  arma::mat H_field;     // Field: ndr x ndphi
  // The mould flux acts in the first CrystallizerLength of the model (none
  // in a piece of strand that starts below the mould).
  bool mould = true;
  // The flat step of a piece of strand truncates the emissivity exponent
  // to a whole number, as the results it reproduces were computed.
  bool whole_emissivity = false;
};

}  // namespace tepora
