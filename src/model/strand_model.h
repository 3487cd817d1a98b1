// What a step of any formulation works on: the strand's grid, material
// table, cooling and field, the process parameters of a run and its heat
// balance. The model (tepora.h) adds the drivers that pick a formulation
// and run it; the formulations see only this, so that neither includes the
// other.
#pragma once

#include "common/headers.h"
#include "model/cooling.h"
#include "model/field.h"
#include "model/grid.h"
#include "model/material.h"
#include "model/step.h"

namespace tepora {

// Heat balance of a run of the cylindrical step over the slices it updates
// (0 .. ndz-2 when steel enters through the face at z = 0, else 1 .. ndz-2),
// every term in J for the whole circle.
struct EnergyAccount {
  double surface_out = 0;    // heat lost through the surface
  double carried_in = 0;     // transport and conduction through the inlet face
  double carried_out = 0;    // transport and conduction through the outlet face
  double content_start = 0;  // enthalpy content at the first step
  double content_end = 0;    // and after the last
  bool kept = false;         // whether the run's formulation keeps the balance
  // Fall of the content against what left: zero to rounding.
  double Residual() const {
    return (content_start - content_end) - (surface_out + carried_out - carried_in);
  }
  // The largest of the four terms, the scale of the residual.
  double Scale() const;
};

// Prints the heat balance of a run on one line.
void PrintEnergyBalance(const EnergyAccount& e);

// The strand's parts and the process parameters of a run.
struct StrandModel {
  Grid grid;                                     // rings, sectors and slices
  Material material;                             // the steel's table
  Cooling cooling;                               // mould, sprays and air along the strand
  Field field;                                   // temperature (and enthalpy) of every cell
  double Taumax = 0;                             // stored only
  double T_in = 0;                               // inlet (casting) temperature, degC
  double vz = 0;                                 // casting speed, m/s
  double dtau = 0;                               // time step, s
  int p = 0;                                     // time-step counter of the solvers
  Formulation model = Formulation::Cylindrical;  // discretisation of the time step
  EnergyAccount energy;  // heat balance of the last run of steps (cylindrical)
  // The solvers copy T into field.snapshot before step `snapshot_step` (none
  // when negative): the field a while before the end, for the steadiness check.
  int snapshot_step = -1;
  // The start field came from TeporaOut/T_0.cub, saved by an earlier run.
  bool start_saved = false;
};

}  // namespace tepora
