#include "model/strand_results.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "model/front.h"

namespace tepora {

double ShellThickness(const std::vector<double>& r, const std::vector<double>& T, double R,
                      double Ts, double theta) {
  if (std::isnan(theta)) return theta;
  if (Ts >= theta) return 0.0;
  double r_out = R, T_out = Ts;
  for (size_t n = r.size(); n-- > 0;) {
    if (T[n] >= theta) {
      const double at = r[n] + (T[n] - theta) / (T[n] - T_out) * (r_out - r[n]);
      return R - at;
    }
    r_out = r[n];
    T_out = T[n];
  }
  return R;
}

std::vector<double> ProfileRadii(const Tepora& P) {
  std::vector<double> r(P.grid.ndr);
  for (int i = 0; i < P.grid.ndr; ++i)
    r[i] =
        P.model == Formulation::Flat ? P.grid.FaceRadius(i) + P.grid.dr(0) : P.grid.CentreRadius(i);
  return r;
}

namespace {

// Enthalpy of a temperature in the model's table, J/m^3; NaN where the
// table does not reach it (or the temperature is not known).
double EnthalpyOrNaN(Tepora& P, double t) {
  const std::vector<double>& rows = P.material.ConstLin.T;
  if (std::isnan(t) || rows.empty() || t < rows.front() || t > rows.back()) return NAN;
  return P.EnthalpyAt(t);
}

// Shells and solid fraction of the cylindrical step's slice k from the
// enthalpies of its rings: the solidus front and the liquidus front of
// every sector's radial line (mean over the sectors, m), the solid fraction
// of the cross-section by volume.
void FrontsFromEnthalpy(Tepora& P, const cube& H, const mat& Ts, int k, double H_sol,
                        double H_liq, double T_sol, double T_liq, double& sol, double& liq,
                        double& solid) {
  const int I = P.grid.ndr, J = P.grid.ndphi;
  const double R = P.grid.FaceRadius(I);
  RadialLine line;
  line.H.resize(I);
  line.faces.resize(I + 1);
  for (int i = 0; i <= I; ++i) line.faces[i] = P.grid.FaceRadius(i);
  line.H_sol = H_sol;
  line.H_liq = H_liq;
  line.phi.resize(I);
  double t;
  P.material.ConstLin.FromEnthalpyPhi(H_sol, t, line.phi_sol);
  P.material.ConstLin.FromEnthalpyPhi(H_liq, t, line.phi_liq);
  line.range_K = T_liq - T_sol;
  sol = liq = solid = 0.0;
  for (int j = 0; j < J; ++j) {
    for (int i = 0; i < I; ++i) {
      line.H[i] = H(i, j, k);
      P.material.ConstLin.FromEnthalpyPhi(line.H[i], t, line.phi[i]);
      solid += SolidFraction(line.H[i], H_sol, H_liq) * P.grid.CentreRadius(i) * P.grid.dr(i);
    }
    line.H_surface = EnthalpyOrNaN(P, Ts(j, k));
    line.phi_surface = NAN;
    if (!std::isnan(line.H_surface))
      P.material.ConstLin.FromEnthalpyPhi(line.H_surface, t, line.phi_surface);
    sol += R - FrontRadius(line, 1.0);
    liq += R - LiquidusFront(line);
  }
}

}  // namespace

std::vector<StrandRow> StrandRows(Tepora& P, double solidus, double liquidus, double fronts_near) {
  const int I = P.grid.ndr, J = P.grid.ndphi, K = P.grid.ndz;
  const mat Ts = P.SurfaceField();
  const double R = P.grid.FaceRadius(I);
  const bool cylindrical = P.model == Formulation::Cylindrical;
  const cube H = !cylindrical                                           ? cube()
                 : arma::size(P.field.H_final) == arma::size(P.field.T) ? P.field.H_final
                                                                        : P.EnthalpyOf(P.field.T);
  const double H_sol = cylindrical ? EnthalpyOrNaN(P, solidus) : NAN;
  const double H_liq = cylindrical ? EnthalpyOrNaN(P, liquidus) : NAN;
  const bool fronts = !std::isnan(H_sol) && !std::isnan(H_liq) && H_liq > H_sol;
  std::vector<double> radii = ProfileRadii(P), r, T;
  // Points inside the surface only: the flat step's outer ring lies on it.
  const size_t inside = P.model == Formulation::Flat ? size_t(I - 1) : size_t(I);
  radii.resize(inside);
  double area = 0.0;
  for (int i = 0; i < I; ++i) area += P.grid.CentreRadius(i) * P.grid.dr(i);
  std::vector<StrandRow> rows(K);
  double z = 0.0;
  for (int k = 0; k < K; ++k) {
    StrandRow& row = rows[k];
    row.z = z + 0.5 * P.grid.dz(k);
    z += P.grid.dz(k);
    row.surf_min = Ts.col(k).min();
    row.surf_max = Ts.col(k).max();
    row.surf_mean = arma::mean(Ts.col(k));
    double axis = 0.0, sol = 0.0, liq = 0.0, solid = 0.0;
    if (cylindrical) {
      row.axis_level = H(0, 0, k);
      for (int j = 0; j < J; ++j) axis += P.field.T(0, j, k);
      row.axis = axis / J;
      const bool here = fronts && (std::isnan(fronts_near) ||
                                   std::fabs(row.z - fronts_near) <= 2 * P.grid.dz(k));
      if (here)
        FrontsFromEnthalpy(P, H, Ts, k, H_sol, H_liq, solidus, liquidus, sol, liq, solid);
      row.shell_sol = here ? 1000 * sol / J : NAN;
      row.shell_liq = here ? 1000 * liq / J : NAN;
      row.solid = here ? solid / (area * J) : NAN;
      continue;
    }
    for (int j = 0; j < J; ++j) {
      axis += P.field.T(0, j, k);
      T.assign(inside, 0.0);
      for (size_t i = 0; i < inside; ++i) T[i] = P.field.T(i, j, k);
      sol += ShellThickness(radii, T, R, Ts(j, k), solidus);
      liq += ShellThickness(radii, T, R, Ts(j, k), liquidus);
      for (int i = 0; i < I; ++i) {
        const double f = (liquidus - P.field.T(i, j, k)) / (liquidus - solidus);
        solid += std::min(1.0, std::max(0.0, f)) * P.grid.CentreRadius(i) * P.grid.dr(i);
      }
    }
    row.axis = axis / J;
    row.axis_level = row.axis;
    row.shell_sol = 1000 * sol / J;
    row.shell_liq = 1000 * liq / J;
    // Without a melting range no cell is known to be solid or liquid.
    row.solid = std::isnan(solidus) || std::isnan(liquidus) ? NAN : solid / (area * J);
  }
  return rows;
}


double AxisReaches(Tepora& P, const std::vector<StrandRow>& rows, double solidus,
                   double liquidus, double g) {
  std::vector<double> z, v;
  for (const StrandRow& r : rows) z.push_back(r.z), v.push_back(r.axis_level);
  // The ends exactly, not as a difference: g = 1 is the solidus itself.
  const auto at = [g](double lo, double hi) { return g == 1 ? lo : g == 0 ? hi : hi - g * (hi - lo); };
  const double theta = P.model == Formulation::Cylindrical
                           ? at(EnthalpyOrNaN(P, solidus), EnthalpyOrNaN(P, liquidus))
                           : at(solidus, liquidus);
  if (std::isnan(theta)) return NAN;
  return LastCrossingBelow(z, v, theta);
}

double LastCrossingBelow(const std::vector<double>& z, const std::vector<double>& v,
                         double theta) {
  if (z.empty() || v.back() >= theta) return std::numeric_limits<double>::infinity();
  for (size_t n = v.size() - 1; n-- > 0;)
    if (v[n] >= theta) return z[n] + (v[n] - theta) / (v[n] - v[n + 1]) * (z[n + 1] - z[n]);
  return -1.0;
}

double AlongStrand(const std::vector<double>& z, const std::vector<double>& v, double x) {
  if (x <= z.front()) return v.front();
  if (x >= z.back()) return v.back();
  // The last sample before x, by bisection: the reheating search reads
  // about two points a slice, which a walk from the inlet made quadratic.
  const size_t n = size_t(std::lower_bound(z.begin() + 1, z.end(), x) - z.begin()) - 1;
  return v[n] + (x - z[n]) / (z[n + 1] - z[n]) * (v[n + 1] - v[n]);
}

// A function read on straight lines between the samples is highest at a
// sample or at an end of the stretch.
double RiseAfter(const std::vector<double>& z, const std::vector<double>& v, double exit,
                 double next_end) {
  const double at_exit = AlongStrand(z, v, exit);
  double highest = std::max(at_exit, AlongStrand(z, v, next_end));
  for (size_t n = 0; n < z.size(); ++n)
    if (z[n] > exit && z[n] < next_end) highest = std::max(highest, v[n]);
  return highest - at_exit;
}

// The rise over a window, v(x + span) - v(x), is a straight line in x
// between the points where x or x + span meets a sample, so its largest
// value lies at one of them (or at an end of the range of starts).
WindowRise LargestRiseOver(const std::vector<double>& z, const std::vector<double>& v,
                           double span) {
  WindowRise best{0.0, std::numeric_limits<double>::quiet_NaN()};
  if (z.empty()) return best;
  const double first = z.front(), last = std::max(first, z.back() - span);
  std::set<double> starts{first, last};
  for (double x : z)
    for (double s : {x, x - span})
      if (s > first && s < last) starts.insert(s);
  for (double x : starts) {
    const double rise = (AlongStrand(z, v, x + span) - AlongStrand(z, v, x)) / span;
    if (rise > best.per_m) best = {rise, x};
  }
  return best;
}

}  // namespace tepora
