// What distinguishes the time step of the whole strand from that of one
// element of it (the inlet condition and the surface law), and the constants
// of a run that every step reads.
#pragma once

#include <armadillo>

#include <vector>

enum class InletKind {
  Fixed,         // every cell of slice 0 holds one enthalpy
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

// Per-run constants of the step, derived once from the grid and the zones so
// that a step neither allocates nor recomputes them.
struct StepPlan {
  int I = 0, J = 0, K = 0;
  std::vector<double> rdphi2;  // (r(i) dphi)^2, the angular metric
  std::vector<double> drsum;   // dr(i) + dr(i+1)
  std::vector<double> dzsum;   // dz(k-1) + dz(k)
  std::vector<char> mould;     // slice k takes the mould flux
  std::vector<char> tertiary;  // slice k lies in the air-cooled end zone
  std::vector<double> eps_whole;  // emissivity by whole exponent, offset kEpsOffset
  double r_s = 0.0;     // radius of the surface ring
  double vzdtau = 0.0;  // distance the strand moves in one step
  std::vector<double> q_r;  // scratch: radial difference quotients of one column
  static const int kEpsOffset = 64;
};
