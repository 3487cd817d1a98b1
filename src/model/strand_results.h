// The figures a casting engineer reads off a strand, derived from its
// temperature field: surface and axis temperatures along the strand, the
// solid shell, the solid fraction of the cross-section.
#pragma once

#include <vector>

#include "model/tepora.h"

namespace tepora {

// One slice of the strand.
struct StrandRow {
  double z;          // centre of the slice, m from the inlet
  double surf_min;   // surface temperature, lowest over the sectors, degC
  double surf_mean;  // mean over the sectors, degC
  double surf_max;   // highest, degC
  double axis;       // temperature on the axis, degC
  double shell_sol;  // solid shell (below the solidus), mean over the sectors, mm
  double shell_liq;  // shell below the liquidus (solid and mushy), mm
  double solid;      // solid fraction of the cross-section, 0..1
  // The last three are NaN when no solidus and liquidus are known. In the
  // cylindrical step all three come from the rings' enthalpies (see
  // front.h), so that they move smoothly as a ring freezes; in the flat step
  // from the rings' temperatures.
  // The axis, for the crater end: in the cylindrical step the enthalpy of
  // the disc on the axis, J/m^3; in the flat step `axis`, degC.
  double axis_level;
};

// Thickness of the layer below `theta` at the surface, m: a radial profile
// given at radii r (rising from the axis, all inside the surface radius R)
// and at the surface itself (Ts), read inward from the surface to the first
// point at or above theta, with the crossing placed by straight-line
// interpolation between that point and the next one out. Zero when the
// surface is at or above theta, R when the whole radius is below it, NaN
// when theta is (no melting range known).
double ShellThickness(const std::vector<double>& r, const std::vector<double>& T, double R,
                      double Ts, double theta);

// The radii the rings' temperatures stand for: cell centres in the
// cylindrical step; in the flat step ring i stands at (i + 1) dr, ring 0
// copying ring 1.
std::vector<double> ProfileRadii(const Tepora& P);

// Every slice of the model's current field (its enthalpy P.H_final when the
// last run left one, else that of P.T).
// With `fronts_near` (m) the shells and the solid fraction, the costly part,
// are worked out only for the slices whose centre lies within two slice
// lengths of it, NaN elsewhere: a history of the shell at the mould's exit
// reads it every few steps.
std::vector<StrandRow> StrandRows(Tepora& P, double solidus, double liquidus,
                                  double fronts_near = NAN);

// Where the steel on the axis last reaches a solid fraction g (0 <= g <= 1)
// along the strand, m from the meniscus: 1 the crater end (the axis wholly
// solid), 0 the end of the liquid pool (the axis begins to freeze). Read on
// StrandRow::axis_level between slice centres, against the enthalpy of that
// solid fraction in the cylindrical step and, in the flat step, against the
// temperature liquidus - g (liquidus - solidus). The same conventions as
// LastCrossingBelow: negative when the first slice's axis has reached it,
// +infinity when the last slice's has not.
double AxisReaches(Tepora& P, const std::vector<StrandRow>& rows, double solidus,
                   double liquidus, double g);

// The position where a quantity sampled at rising z last falls below
// `theta`: between the last sample at or above it and the next one, on a
// straight line. Negative when even the first sample lies below; +infinity
// when the last sample is still at or above it.
double LastCrossingBelow(const std::vector<double>& z, const std::vector<double>& v,
                         double theta);

// A quantity sampled at rising z (the slice centres), read at x on straight
// lines between the samples and held at the first or last beyond them.
double AlongStrand(const std::vector<double>& z, const std::vector<double>& v, double x);

// Reheating of the surface as a plant judges it, from the surface
// temperature v sampled at the slice centres z and read between them on
// straight lines; both figures approach the strand's own as the slices get
// shorter, where the steepest rise between two neighbouring slices grows
// without bound after a sharp change of the cooling.
//
// The rise after a zone that ends at `exit` (m): the highest surface
// temperature from there to `next_end` (the end of the zone that follows)
// above the one at the exit, K; 0 when the surface only cools there.
double RiseAfter(const std::vector<double>& z, const std::vector<double>& v, double exit,
                 double next_end);

// The largest rise of v over any `span` (m) of the strand, divided by the
// span (K/m), and the start of the first window that gives it (m); a strand
// shorter than the span gives its whole rise. Where v rises nowhere, 0 and NaN.
struct WindowRise {
  double per_m;  // K/m
  double from;   // m
};
WindowRise LargestRiseOver(const std::vector<double>& z, const std::vector<double>& v,
                           double span);

}  // namespace tepora
