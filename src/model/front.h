// Where the steel of one radial line has frozen, read from the enthalpies of
// its rings rather than from their temperatures. A freezing ring holds its
// latent heat in proportion to its liquid part, so its enthalpy says how far
// the front has gone through it, and the front moves smoothly as the ring
// freezes; a temperature read at the ring's centre stays in the freezing
// range until the ring is solid and then jumps a whole ring.
#pragma once

#include <limits>
#include <vector>

namespace tepora {

// Solid fraction of steel of enthalpy H, J/m^3, between the solidus enthalpy
// H_sol and the liquidus enthalpy H_liq (H_sol < H_liq): the share of the
// latent heat already released, (H_liq - H) / (H_liq - H_sol), 0 for melt
// and 1 for solid.
double SolidFraction(double H, double H_sol, double H_liq);

// One radial line of rings, from the disc on the axis (ring 0) to the
// surface ring (ring I-1).
struct RadialLine {
  std::vector<double> H;      // enthalpy of every ring, J/m^3 (I values)
  std::vector<double> faces;  // ring faces: faces[0] = 0 on the axis .. faces[I] = R, m
  double H_sol = 0.0;         // enthalpy at the solidus, J/m^3
  double H_liq = 0.0;         // enthalpy at the liquidus, J/m^3 (above H_sol)
  // Enthalpy at the surface temperature, J/m^3: the outer end of the profile
  // while the front lies in the surface ring; NaN when not known.
  double H_surface = std::numeric_limits<double>::quiet_NaN();
  // Optional, for a wide freezing range: the Kirchhoff potential (the
  // integral of lambda dT, W/m) of every ring at its enthalpy (I values;
  // empty when not given), of the surface, at the solidus and at the
  // liquidus, and the width of the freezing range, K.
  std::vector<double> phi;
  double phi_surface = std::numeric_limits<double>::quiet_NaN();
  double phi_sol = std::numeric_limits<double>::quiet_NaN();
  double phi_liq = std::numeric_limits<double>::quiet_NaN();
  double range_K = std::numeric_limits<double>::quiet_NaN();
};

// Two ways of reading a front, both from the ring that holds it:
//
// Narrow freezing range (the ring outside the front ring solid, or the
// surface, and the ring inside it wholly melt): the front ring is split at
// the front r_f into its solid outer part and its melt, each with an
// enthalpy linear in r from the front (H_sol on the solid side, H_liq on the
// melt's) to the neighbouring ring's centre (the surface for the surface
// ring), and r_f is where the ring's mean enthalpy over its volume
// (weighted by r) equals its own. The sensible heat on both sides is thus
// counted, which the solid fraction alone would take for latent heat: the
// solid part below the solidus would put the front ahead, the melt's
// superheat hold it at the ring's face until the ring had cooled to the
// liquidus. The ring holding the front is the outermost ring not wholly
// solid or, while that ring is still wholly melt, the solid ring outside
// it. The solidus and every solid fraction meet at this front.
//
// Wide freezing range (the rings on both sides of the front ring are not in
// one phase each): with the rings' potentials given, the solidus front is
// where the potential phi crosses its solidus value on a parabola through
// the centre of the outermost ring not wholly solid and the next two points
// out (ring centres, or the surface), on a straight line where the front
// ring is the surface ring or the surface is not known. The potential, not
// the temperature: the heat flux is -d phi/dr whatever the conductivity
// does, so phi bends through the mushy zone only as much as the latent heat
// released there lowers the flux, while the temperature's slope falls with
// the conductivity's rise (fourfold on the example's table); the parabola
// follows the shell's own bending, its flux falling inwards as it gives up
// sensible heat. Across a mushy zone wider than a ring the ring's solid
// fraction, a mean over the ring, does not say where in it the steel is
// wholly solid. On the example billet, read on 8 mm rings against 2 mm rings
// from 0.5 to 2.8 m down the strand: the temperature on a straight line is
// out by 11 % on average (42 % at worst), phi on a straight line by 7 %
// (28 %), phi on the parabola by 5 % (15 %). Without potentials (and for a
// solid fraction below 1), the solid shell against the outermost ring not
// wholly solid, whose solid fraction f is taken as an annulus at its outer
// side by volume, r^2 = rf_i+1^2 - f (rf_i+1^2 - rf_i^2).

// Freezing ranges up to this width, K, are read as a sharp front (the
// narrow rule) whatever the grid: a steel's range of 20 to 80 K spreads its
// latent heat over a mushy zone a good part of a ring wide or wider, where
// the sharp front's split of a ring would make the shell jump as the zone
// passes from ring to ring; a range of a few kelvin freezes within a
// fraction of a millimetre.
const double kSharpRangeK = 5.0;

// Radius of the front behind which the steel is at least `g` solid,
// 0 < g <= 1 (1: the solidus front, the inner edge of the solid shell), m.
// Over a wide range: the outermost ring whose solid fraction f is below g,
// gone f / g of the way through by volume; R when the surface ring is still
// wholly melt, 0 when every ring has reached g (the front has met the axis).
double FrontRadius(const RadialLine& line, double g);

// Radius of the liquidus front, the inner edge of the steel that has begun
// to freeze, m. The melt side of a freezing range has no sharp edge inside a
// ring: the enthalpy rises smoothly through the mushy rings to the melt, and
// the front is where it crosses H_liq on a straight line between the
// outermost ring at or above H_liq and the next ring out (the surface, at
// H_surface, outside the surface ring), never outside the solidus front.
// Where the range is narrower than a ring it lies within a ring of the
// solidus front. R when the surface ring's centre is melt and the surface is
// melt or not known, 0 when no ring is melt.
double LiquidusFront(const RadialLine& line);

}  // namespace tepora
