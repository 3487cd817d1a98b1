// What distinguishes the time step of the whole strand from that of one
// element of it (the inlet condition and the surface law), and the constants
// of a run that every step reads.
#pragma once

#include <armadillo>
#include <vector>

#include "cooling.h"
#include "thread_choice.h"

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
  // The mould flux acts in the first CrystallizerLength of the model (in the
  // optimiser only in the element that starts at the inlet).
  bool mould = true;
  // The element solver truncates the emissivity exponent to a whole number.
  bool whole_emissivity = false;
};

// Per-run constants of the step, derived once from the grid, the zones and
// the material table so that a step neither allocates nor recomputes them.
// Arrays over one slice (I x J cells, rings fastest) let the arithmetic of a
// whole slice run as one flat loop.
struct StepPlan {
  int I = 0, J = 0, K = 0;
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
};

// Per-run constants and state of the cylindrical step. Cells are finite
// volumes: ring i spans the radii rf(i) .. rf(i+1) (rf(0) = 0, a disc on
// the axis held in every sector of ring 0), sector j the angles j dphi ..
// (j+1) dphi with dphi = 2 pi / J (sector J-1 meets sector 0), slice k its
// axial length. Arrays over one slice, rings fastest.
struct CylinderPlan {
  int I = 0, J = 0, K = 0;
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
  AirHtcTable air;             // natural convection and radiation
  // State beside T and H: the Kirchhoff potential phi (integral of lambda
  // dT) of every cell (current and next), W/m.
  std::vector<double> phi, phi_new;
  // Threads the slices of a step may be split across (see StepThreads),
  // and how many each step takes (see ThreadChoice).
  int threads = 1;
  ThreadChoice choice;
  // Scratch of one slice, one set a thread: outer radial face fluxes (times
  // the face's radius), angular face fluxes, axial face fluxes below and above.
  struct Scratch {
    std::vector<double> Fo, fp, fz_a, fz_b;
  };
  std::vector<Scratch> scratch;
  // Heat lost through the surface of every slice in the last step, J/s,
  // summed in slice order after the slices are done, so that the heat
  // balance is the same whichever thread computed a slice.
  std::vector<double> slice_loss;
};

