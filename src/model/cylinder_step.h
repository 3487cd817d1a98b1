// The cylindrical formulation of the time step: finite volumes on the
// rings, sectors and slices, fluxes through every face at the face's own
// radius as differences of the Kirchhoff potential, the surface flux in
// W/m^2, a closed ring of sectors and a disc cell on the axis, temperature
// and conductivity on the straight lines between the material table's rows.
#pragma once

#include <vector>

#include "model/cooling.h"
#include "model/material.h"
#include "model/step.h"
#include "model/thread_choice.h"

namespace tepora {

struct StrandModel;

// Per-run constants and state of the cylindrical step. Cells are finite
// volumes: ring i spans the radii rf(i) .. rf(i+1) (rf(0) = 0, a disc on
// the axis held in every sector of ring 0), sector j the angles j dphi ..
// (j+1) dphi with dphi = 2 pi / J (sector J-1 meets sector 0), slice k its
// axial length. Arrays over one slice, rings fastest.
struct CylinderStep {
  static constexpr bool kBalanced = true;  // the heat balance of the run is kept
  // The inlet and the mould of the run; a given inlet slice has its disc's
  // sectors made one.
  StepRule rule;
  int rings = 0, sectors = 0, slices = 0;  // the grid's ndr, ndphi and ndz
  // rf(i+1) / ((dr(i) + dr(i+1)) / 2): the outer face's radius over the
  // distance between the centres it lies between, dimensionless (the
  // surface ring's is not used: the surface has its own law).
  std::vector<double> grad_c;
  std::vector<double> invA_c;  // 1 / (rc dr), rc the ring's centre radius, 1/m^2
  std::vector<double> gphi_c;  // 1 / (rc dphi)^2, 1/m^2 (0 on the axis)
  std::vector<double> area_c;  // cross-section of the cell, m^2 (the disc's shared by J)
  std::vector<double> invdzs;  // 1 / ((dz(k) + dz(k+1)) / 2), 1/m (0 for the last slice)
  std::vector<double> invdz;   // 1 / dz(k), 1/m
  // First slice the step updates: 0 when steel enters through the face at
  // z = 0 (InletKind::Fixed), 1 when the inlet's rule sets slice 0.
  int lo = 1;
  // Enthalpy of the steel that enters through the face at z = 0, per cell
  // of a slice, J/m^3 (used when lo is 0).
  std::vector<double> inflow;
  std::vector<char> mould;     // slice k's centre lies in the mould
  std::vector<char> tertiary;  // slice k's centre lies in the air-cooled end
  double R_s = 0.0;            // radius of the surface, m
  double hw_s = 0.0;           // half the width of the surface ring, m
  double invA0 = 0.0;          // 1 / (J rc(0) dr(0)): the disc's sectors averaged
  double dphi = 0.0;           // rad
  double vzdtau = 0.0;         // m the strand moves in one step
  // Rings (ascending, never the disc) whose angular conduction the step
  // takes implicitly: those whose explicit bound, angular term included, the
  // run's time step exceeds (see StableStep and ImplicitRing). Empty whenever
  // the step is within the explicit bound of every ring.
  std::vector<int> implicit_rings;
  AirHtcTable air;             // natural convection and radiation
  // State beside T and H: the Kirchhoff potential phi (integral of lambda
  // dT) of every cell (current and next), W/m.
  std::vector<double> phi, phi_new;
  // Threads the slices of a step may be split across (see StepThreads),
  // and how many each step takes (see ThreadChoice).
  int threads = 1;
  ThreadChoice choice;
  // Scratch of one slice, one set a thread: outer radial face fluxes (times
  // the face's radius), angular face fluxes, axial face fluxes below and
  // above; over the sectors of one implicit ring, the coupling dtau phi' /
  // (rc dphi)^2 of every sector (dimensionless) and the solve's eliminated
  // upper diagonal and two right-hand sides.
  struct Scratch {
    std::vector<double> Fo, fp, fz_a, fz_b;
    std::vector<double> couple, upper, x, z;
  };
  std::vector<Scratch> scratch;
  // Heat lost through the surface of every slice in the last step, J/s,
  // summed in slice order after the slices are done, so that the heat
  // balance is the same whichever thread computed a slice.
  std::vector<double> slice_loss;

  CylinderStep() = default;
  CylinderStep(const StrandModel& m, const StepRule& rule);
  // The disc's sectors made one, temperature and Kirchhoff potential from H.
  void Start(StrandModel& m, cube& H);
  // One time step from (T, phi, H_old) into (H, T_new, phi_new), explicit
  // but in the angle of the implicit rings, the heat that crossed the
  // surface and the ends added to m.energy.
  void Advance(StrandModel& m, const cube& H_old, cube& H, cube& T_new);
  void Advanced() { phi.swap(phi_new); }
  // The model's speed and casting temperature of the moment taken into the
  // transport term and the steel entering through z = 0 (a schedule moves both).
  void Follow(const StrandModel& m);
  // Heat content of the slices the step updates (lo .. K-2), J.
  double HeatContent(const StrandModel& m, const cube& H) const;
  // Surface law of sector j, slice k under this run's rule.
  SurfaceLaw SurfaceLawAt(const StrandModel& m, int j, int k) const;
  // Surface temperature of sector j, slice k of the model's current field
  // under that law: the outer face's, degC.
  double SurfaceTemperature(const StrandModel& m, int j, int k) const;

  // Enthalpy of a temperature on the straight lines between the rows, J/m^3.
  static double Enthalpy(const Material& material, double t);
  // Surface temperature of every sector (rows) and slice (columns), degC,
  // under the rule of the whole strand.
  static mat SurfaceField(const StrandModel& m);
  // Longest stable time step at a casting speed (m/s) from the table's
  // largest conductivity (W/(m K)) and smallest heat capacity (J/(m^3 K)), s.
  static double StableStep(const StrandModel& m, double speed, double lambda_max, double c_min);
  // The same for the step explicit in every ring, every angular term
  // counted: the longest step at which no ring solves for its angular
  // fluxes, s.
  static double ExplicitStep(const StrandModel& m, double speed, double lambda_max, double c_min);
};

}  // namespace tepora
