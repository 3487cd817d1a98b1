#include "model/front.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tepora {

double SolidFraction(double H, double H_sol, double H_liq) {
  return std::min(1.0, std::max(0.0, (H_liq - H) / (H_liq - H_sol)));
}

namespace {

void CheckLine(const RadialLine& line) {
  if (line.H.empty() || line.faces.size() != line.H.size() + 1)
    throw std::invalid_argument("a radial line needs one face more than its rings");
  if (!(line.H_liq > line.H_sol))
    throw std::invalid_argument("the liquidus enthalpy must lie above the solidus enthalpy");
}

double Fraction(const RadialLine& line, size_t i) {
  return SolidFraction(line.H[i], line.H_sol, line.H_liq);
}

double Centre(const RadialLine& line, size_t i) {
  return 0.5 * (line.faces[i] + line.faces[i + 1]);
}

// Where a quantity v, v_in at r_in and v_out at r_out, crosses theta on a
// straight line (v_in > theta >= v_out); r_in when it cannot be told.
double Crossing(double r_in, double v_in, double r_out, double v_out, double theta) {
  if (!(v_in > v_out)) return r_in;
  return r_in + std::min(1.0, std::max(0.0, (v_in - theta) / (v_in - v_out))) * (r_out - r_in);
}

// Radius inside ring i when a share `part` (0..1) of its volume, taken at
// its outer side, lies beyond the front.
double InsideRing(const RadialLine& line, size_t i, double part) {
  const double ri = line.faces[i], ro = line.faces[i + 1];
  return std::sqrt(std::max(0.0, ro * ro - part * (ro * ro - ri * ri)));
}

// Integral of H(r) r dr over r1 .. r2 for H linear through (ra, Ha) and
// (rb, Hb), written about the midpoint so that the large radii of a thin
// ring do not cancel: H(rm) (r2^2 - r1^2) / 2 + H' (r2 - r1)^3 / 12.
double Moment(double ra, double Ha, double rb, double Hb, double r1, double r2) {
  if (!(r2 > r1)) return 0.0;
  const double slope = (Hb - Ha) / (rb - ra), rm = 0.5 * (r1 + r2), d = r2 - r1;
  return (Ha + slope * (rm - ra)) * (0.5 * d * (r1 + r2)) + slope * (d * d * d) / 12.0;
}

// The front inside ring i of a narrow freezing range, between the solid
// point (r_out, H_out) outside and the melt point (r_in, H_in) inside.
double SplitRing(const RadialLine& line, size_t i, double r_out, double H_out, double r_in,
                 double H_in) {
  const double ri = line.faces[i], ro = line.faces[i + 1];
  const double volume = 0.5 * (ro - ri) * (ro + ri);
  // Mean enthalpy of the ring with the front at rf: rises with rf, as melt
  // takes the place of solid.
  const auto mean = [&](double rf) {
    return (Moment(rf, line.H_sol, r_out, H_out, rf, ro) +
            Moment(rf, line.H_liq, r_in, H_in, ri, rf)) / volume;
  };
  const double h = line.H[i];
  if (h >= mean(ro)) return ro;
  if (h <= mean(ri)) return ri;
  double lo = ri, hi = ro;
  for (int it = 0; it < 200; ++it) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    (mean(mid) < h ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// The front of a narrow freezing range; false where the range is wide or
// the front ring lacks a neighbour in one phase on either side.
bool NarrowFront(const RadialLine& line, double& r) {
  const size_t I = line.H.size();
  size_t j = I;  // the outermost ring not wholly solid
  while (j > 0 && Fraction(line, j - 1) >= 1.0) --j;
  if (j == 0) return false;
  --j;
  // The solid point outside ring i and the melt point inside it.
  const auto outer = [&](size_t i, double& ro, double& Ho) {
    if (i + 1 == I) {
      ro = line.faces[I];
      Ho = line.H_surface;
      return std::isfinite(Ho) && Ho <= line.H_sol;
    }
    ro = Centre(line, i + 1);
    Ho = line.H[i + 1];
    return Ho <= line.H_sol;
  };
  const auto inner = [&](size_t i, double& rn, double& Hn) {
    if (i == 0) return false;
    rn = Centre(line, i - 1);
    Hn = line.H[i - 1];
    return Hn >= line.H_liq;
  };
  double ro, Ho, rn, Hn;
  // Ring j still wholly melt: the front may not yet have left the solid
  // ring outside it.
  if (Fraction(line, j) <= 0.0 && j + 1 < I && outer(j + 1, ro, Ho)) {
    r = SplitRing(line, j + 1, ro, Ho, Centre(line, j), line.H[j]);
    if (r > line.faces[j + 1]) return true;
  }
  if (!outer(j, ro, Ho) || !inner(j, rn, Hn)) return false;
  r = SplitRing(line, j, ro, Ho, rn, Hn);
  return true;
}

}  // namespace

namespace {

bool ByPotential(const RadialLine& line) {
  return line.phi.size() == line.H.size() && std::isfinite(line.phi_sol) &&
         std::isfinite(line.phi_liq) && line.range_K > kSharpRangeK;
}

// Where the potential crosses `level` between the centre of ring i (above
// it) and the next point out (at or below it): on the parabola through the
// two and the point beyond, bisected between them; on the straight line
// where there is no point beyond.
double PotentialCrossing(const RadialLine& line, size_t i, double level) {
  const size_t I = line.H.size();
  const double x0 = Centre(line, i), y0 = line.phi[i];
  const double x1 = i + 1 < I ? Centre(line, i + 1) : line.faces[I];
  const double y1 = i + 1 < I ? line.phi[i + 1] : line.phi_surface;
  const double x2 = i + 2 < I ? Centre(line, i + 2) : line.faces[I];
  const double y2 = i + 2 < I ? line.phi[i + 2] : line.phi_surface;
  if (i + 1 == I || !std::isfinite(y2) || !(y0 > level && y1 <= level))
    return Crossing(x0, y0, x1, y1, level);
  const auto above = [&](double x) {  // the Lagrange parabola less the level
    return y0 * (x - x1) * (x - x2) / ((x0 - x1) * (x0 - x2)) +
           y1 * (x - x0) * (x - x2) / ((x1 - x0) * (x1 - x2)) +
           y2 * (x - x0) * (x - x1) / ((x2 - x0) * (x2 - x1)) - level;
  };
  double lo = x0, hi = x1;  // above(lo) > 0 >= above(hi)
  for (int it = 0; it < 200; ++it) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    (above(mid) > 0.0 ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

}  // namespace

double FrontRadius(const RadialLine& line, double g) {
  CheckLine(line);
  if (!(g > 0.0 && g <= 1.0)) throw std::invalid_argument("the solid fraction must lie in (0, 1]");
  const size_t I = line.H.size();
  const bool by_potential = g == 1.0 && ByPotential(line);
  double r;
  if (!by_potential && NarrowFront(line, r)) return r;
  for (size_t i = I; i-- > 0;) {
    const double f = Fraction(line, i);
    if (!(f < g)) continue;
    if (by_potential && (i + 1 < I || line.phi_surface <= line.phi_sol))
      return PotentialCrossing(line, i, line.phi_sol);
    return InsideRing(line, i, f / g);
  }
  return 0.0;
}

double LiquidusFront(const RadialLine& line) {
  const double solid = FrontRadius(line, 1.0);
  const size_t I = line.H.size();
  const bool by_potential = ByPotential(line);
  for (size_t i = I; i-- > 0;) {
    if (line.H[i] < line.H_liq) continue;
    // As the solidus front: the potential runs straighter than the enthalpy.
    if (by_potential && (i + 1 < I || line.phi_surface < line.phi_liq))
      return std::min(solid, PotentialCrossing(line, i, line.phi_liq));
    double r_out, H_out;
    if (i + 1 < I) {
      r_out = Centre(line, i + 1);
      H_out = line.H[i + 1];
    } else {
      r_out = line.faces[I];
      H_out = line.H_surface;
      if (!(H_out < line.H_liq)) return std::min(solid, r_out);  // melt at the surface, or not known
    }
    const double r_in = Centre(line, i);
    return std::min(solid, r_in + (line.H[i] - line.H_liq) / (line.H[i] - H_out) * (r_out - r_in));
  }
  return 0.0;
}

}  // namespace tepora
