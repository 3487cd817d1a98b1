// The zone-by-zone design. Within a zone the surface and every control
// point cool monotonically as the zone's htc (or water) rises, so each
// target has one root, bracketed by the zone's bounds, and each limit one
// boundary: the minimum surface caps the zone's value, the maximum
// surface, the reheating over 1 m after a stronger zone above and (in the
// last zone, which shapes the strand down to its end) the crater end set a
// floor; the last zone's reheating into the air caps it too. Where a cap
// and a floor cross, the cap (the surface kept out of the ductility trough)
// wins and the floor's limit is reported broken.
//
// Several targets in one zone: one value cannot set two temperatures, and
// the search zeroes their mean deviation. It falls monotonically with the
// value like each deviation does, so it keeps a bracket and a single root;
// the least-squares value would weigh the points by their sensitivities,
// which differ by a few per cent along a zone, and its equation is not
// monotone. Each point's own deviation is reported.
#include "optimise/zone_design.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "optimise/optimise.h"
#include "model/strand_results.h"

namespace tepora {

namespace {

// Plants judge reheating over a metre of strand, as the simulator's summary does.
const double kReheatSpan = 1.0;  // m
// The search for a target stops within this of it, far inside kTargetToleranceK.
const double kSearchToleranceK = 0.005;
// Bisections of a bracket at most: 2^-60 of any bound is below rounding.
const int kMaxBisections = 60;
// A limit's boundary is found to this fraction of the zone's upper bound.
const double kBoundaryFraction = 1e-6;

const double kInf = std::numeric_limits<double>::infinity();

// What a zone's candidate gives on the slices it solves.
struct Evaluation {
  double deviation = NAN;  // mean of the targets' deviations, K
  double lowest = kInf, highest = -kInf;  // surface below the mould, degC
  // Largest rise over 1 m, K/m, of the windows that end in the zone (or the
  // unsprayed slices before it), where a stronger zone above reheats the
  // surface, and of those that end below it, where the last zone hands
  // over to the air: the first falls as the zone cools more, the second rises.
  double reheat_in = 0, reheat_out = 0;
  double crater = NAN;     // m, solved down to the strand's end only
};

std::string Bound(size_t n, const SprayZone& z, bool upper) {
  return "spray[" + std::to_string(n + 1) + "]." + (z.ByWater() ? "water_" : "htc_") +
         (upper ? "max" : "min") + (z.ByWater() ? "_l_min" : "_W_m2K");
}

std::string Unit(const SprayZone& z) { return z.ByWater() ? "l/min" : "W/(m2 K)"; }

// The largest rise of v over `span` among windows that end at or beyond x0:
// as LargestRiseOver, over the starts from x0 - span.
double RiseReaching(const std::vector<double>& z, const std::vector<double>& v, double x0,
                    double span) {
  if (z.size() < 2) return 0.0;
  const double first = std::max(z.front(), x0 - span), last = std::max(first, z.back() - span);
  std::vector<double> starts{first, last};
  for (double x : z)
    for (double s : {x, x - span})
      if (s > first && s < last) starts.push_back(s);
  double best = 0.0;
  for (double x : starts)
    best = std::max(best, (AlongStrand(z, v, x + span) - AlongStrand(z, v, x)) / span);
  return best;
}

double Solidus(const Tepora& P, const CasterZones& zones, double& liquidus) {
  double sol = zones.solidus;
  liquidus = zones.liquidus;
  if (std::isnan(sol) || std::isnan(liquidus))
    if (!EstimateSolidusLiquidus(P.material.ConstM, sol, liquidus)) sol = liquidus = NAN;
  return sol;
}

class Designer {
 public:
  Designer(Tepora& model, const CasterZones& zones, const ControlPoints& CP)
      : P(model), Z(zones), plan(SteadyPlan(model)), K(model.grid.ndz) {
    field.H.set_size(P.grid.ndr, P.grid.ndphi, K);
    field.T.set_size(P.grid.ndr, P.grid.ndphi, K);
    double z = 0.0;
    for (int k = 0; k < K; ++k) {
      centre.push_back(z + 0.5 * P.grid.dz(k));
      z += P.grid.dz(k);
    }
    mean.assign(K, NAN);
    low.assign(K, NAN);
    high.assign(K, NAN);
    slices.assign(Z.sprays.size(), {-1, -2});
    const std::vector<int> zone = ZoneOfSlices(Z.sprays, P.grid);
    for (int k = 0; k < K; ++k)
      if (const int n = zone[size_t(k)]; n >= 0) {
        if (slices[size_t(n)].first < 0) slices[size_t(n)].first = k;
        slices[size_t(n)].second = k;
      }
    const mat& M = CP.CPMat;
    for (uword p = 0; p < M.n_rows && M.n_cols >= 4; ++p) {
      const Point q{int(p), M(p, 0), uword(GridIndex(M(p, 1), P.grid.dphi)),
                    uword(PointSlice(M(p, 2), P.grid.dz(0))), M(p, 2), M(p, 3)};
      int in = -1;
      for (size_t n = 0; n < slices.size(); ++n)
        if (int(q.k) >= slices[n].first && int(q.k) <= slices[n].second) in = int(n);
      if (in < 0)
        unzoned.push_back(int(p));
      else
        points.push_back({q, in});
    }
    sol = Solidus(P, Z, liq);
  }

  struct Point {
    int index;
    double r;
    uword j, k;
    double z, target;
  };

  Tepora& P;
  CasterZones Z;
  const CylinderStep plan;
  const int K;
  SteadyStrand field;
  std::vector<double> centre, mean, low, high;  // slice centres, m; surfaces, degC
  std::vector<std::pair<int, int>> slices;      // every zone's first and last slice
  std::vector<std::pair<Point, int>> points;    // the control points in a zone, and the zone
  std::vector<int> unzoned;
  double sol = NAN, liq = NAN;
  int solves = 0;

  double SurfaceAt(const cube& T, int j, int k) const {
    double t, q, rho, Ts;
    const double Tc = T(P.grid.ndr - 1, j, k);
    P.material.ConstLin.FromEnthalpy(P.material.ConstLin.Enthalpy(Tc), t, rho);
    SurfaceFlux(plan.SurfaceLawAt(P, j, k), plan.air, Tc, plan.hw_s, rho, q, Ts);
    return Ts;
  }

  double Reading(const Point& q) const {
    return PointTemperature(P, field.T, q.r, q.j, q.k, SurfaceAt(field.T, int(q.j), int(q.k)));
  }

  // Zone n at `value` in its own unit, slices first .. last solved.
  Evaluation Evaluate(size_t n, double value, int first, int last) {
    const SprayZone& s = Z.sprays[n];
    P.cooling.CoolM.cols(uword(slices[n].first), uword(slices[n].second))
        .fill(ZoneHtc(Z, s, value, P.grid.R));
    SolveSteadySlices(P, plan, first, last, field);
    ++solves;
    if (last == K - 2) {
      field.H.slice(K - 1) = field.H.slice(K - 2);
      field.T.slice(K - 1) = field.T.slice(K - 2);
    }
    const int upto = last == K - 2 ? K - 1 : last;
    Evaluation e;
    vec Ts(P.grid.ndphi);
    for (int k = first; k <= upto; ++k) {
      for (int j = 0; j < P.grid.ndphi; ++j) Ts(j) = SurfaceAt(field.T, j, k);
      mean[k] = arma::mean(Ts);
      low[k] = Ts.min();
      high[k] = Ts.max();
      if (centre[k] >= P.cooling.CrystallizerLength) {
        e.lowest = std::min(e.lowest, low[k]);
        e.highest = std::max(e.highest, high[k]);
      }
    }
    const int b = std::min(slices[n].second, upto);
    e.reheat_in = RiseReaching(std::vector<double>(centre.begin(), centre.begin() + b + 1),
                               std::vector<double>(mean.begin(), mean.begin() + b + 1),
                               centre[first], kReheatSpan);
    if (upto > b)
      e.reheat_out = RiseReaching(std::vector<double>(centre.begin(), centre.begin() + upto + 1),
                                  std::vector<double>(mean.begin(), mean.begin() + upto + 1),
                                  centre[b + 1], kReheatSpan);
    if (last == K - 2 && !std::isnan(Z.limits.crater_end_max)) {
      std::vector<StrandRow> rows(K);
      for (int k = 0; k < K; ++k) rows[k].z = centre[k], rows[k].axis_level = field.H(0, 0, k);
      e.crater = AxisReaches(P, rows, sol, liq, Z.crater_solid_fraction);
    }
    double sum = 0.0;
    int count = 0;
    for (const auto& [q, zone] : points)
      if (zone == int(n)) sum += Reading(q) - q.target, ++count;
    if (!std::isnan(s.target_surface)) sum += mean[slices[n].second] - s.target_surface, ++count;
    if (count > 0) e.deviation = sum / count;
    return e;
  }

  // The first limit that wants less cooling and is broken, empty when none.
  std::string ColdBroken(const Evaluation& e) const {
    if (e.lowest < Z.limits.surface_min) return "limits.surface_min_degC";
    if (e.reheat_out > Z.limits.reheat_max) return "limits.reheat_max_K_per_m";
    return "";
  }
  bool ColdOk(const Evaluation& e) const { return ColdBroken(e).empty(); }
  // The first limit that wants more cooling and is broken, empty when none.
  std::string HotBroken(const Evaluation& e) const {
    const StrandLimits& l = Z.limits;
    if (e.highest > l.surface_max) return "limits.surface_max_degC";
    if (e.reheat_in > l.reheat_max) return "limits.reheat_max_K_per_m";
    if (!(e.crater <= l.crater_end_max) && !std::isnan(l.crater_end_max) && !std::isnan(e.crater))
      return "limits.crater_end_max_m";
    return "";
  }

  // The boundary of `ok` between a, where it holds, and b, where it does
  // not: the last value found where it holds.
  template <class Ok>
  double Boundary(double a, double b, double width, Ok ok) {
    for (int i = 0; i < kMaxBisections && std::fabs(b - a) > width; ++i) {
      const double m = 0.5 * (a + b);
      (ok(m) ? a : b) = m;
    }
    return a;
  }

  ZoneOutcome Design(size_t n, int first, int last) {
    const SprayZone& s = Z.sprays[n];
    ZoneOutcome o;
    o.given = s.Value();
    o.low = std::isnan(s.low) ? 0.0 : s.low;
    o.high = !std::isnan(s.high) ? s.high
             : s.ByWater()      ? kWaterFluxHigh * 60.0 * s.sprayed_length_m *
                                 (2.0 * kPi * P.grid.R) * s.wetted_fraction
                                : kHighestSprayHtc;
    o.high = std::max(o.high, o.low);
    const auto eval = [&](double x) { return Evaluate(n, x, first, last); };
    const double width = kBoundaryFraction * std::max(1.0, o.high);
    double x = std::min(std::max(o.given, o.low), o.high);
    Evaluation e = eval(x);
    o.targets = 0;
    for (const auto& pz : points) o.targets += pz.second == int(n);
    o.targets += !std::isnan(s.target_surface);
    if (o.targets > 0) {
      const Evaluation at_low = eval(o.low);
      if (!(at_low.deviation > 0)) {  // too cold even at the least cooling
        x = o.low;
        o.held_by = Bound(n, s, false);
      } else if (const Evaluation at_high = eval(o.high); !(at_high.deviation < 0)) {
        x = o.high;
        o.held_by = Bound(n, s, true);
      } else {
        double a = o.low, b = o.high;
        x = 0.5 * (a + b);
        for (int i = 0; i < kMaxBisections; ++i) {
          x = 0.5 * (a + b);
          const double d = eval(x).deviation;
          if (std::fabs(d) <= kSearchToleranceK || b - a <= 1e-12 * o.high) break;
          (d > 0 ? a : b) = x;
        }
      }
      e = eval(x);
    }
    if (const std::string cold = ColdBroken(e); !cold.empty()) {
      // The minimum surface (and the reheating into the air below the last
      // zone) caps the zone's value: the largest that keeps it.
      x = Boundary(o.low, x, width, [&](double y) { return ColdOk(eval(y)); });
      o.held_by = cold;
    } else if (const std::string hot = HotBroken(e); !hot.empty()) {
      // The others set a floor, below the cap of the minimum surface.
      double cap = o.high;
      if (!ColdOk(eval(cap)))
        cap = Boundary(x, cap, width, [&](double y) { return ColdOk(eval(y)); });
      if (HotBroken(eval(cap)).empty())
        x = Boundary(cap, x, width, [&](double y) { return HotBroken(eval(y)).empty(); });
      else
        x = cap;
      o.held_by = hot;
    }
    o.value = x;
    o.htc = ZoneHtc(Z, s, x, P.grid.R);
    Evaluate(n, x, first, last);  // the strand below is designed on this one
    return o;
  }
};

}  // namespace

double ZoneHtc(const CasterZones& zones, const SprayZone& z, double value, double radius) {
  if (!z.ByWater()) return value;
  return ZoneWaterHtc(zones.water, value, z.sprayed_length_m, z.to_m - z.from_m, radius,
                      z.wetted_fraction);
}

StrandFigures FiguresOf(Tepora& P, const CasterZones& zones) {
  double liq = NAN;
  const double sol = Solidus(P, zones, liq);
  const std::vector<StrandRow> rows = StrandRows(P, sol, liq);
  std::vector<double> z, surf, shell;
  for (const StrandRow& r : rows) z.push_back(r.z), surf.push_back(r.surf_mean),
                                  shell.push_back(r.shell_sol);
  StrandFigures f;
  const double exit = std::min(P.cooling.CrystallizerLength, arma::accu(P.grid.dz));
  if (!std::isnan(sol)) {
    f.shell_exit_mm = AlongStrand(z, shell, exit);
    const double at = AxisReaches(P, rows, sol, liq, zones.crater_solid_fraction);
    f.crater_end_m = at < 0 ? 0.0 : at;
  }
  for (const StrandRow& r : rows) {
    if (r.z < exit) continue;
    if (!(r.surf_min >= f.surface_lowest)) f.surface_lowest = r.surf_min, f.surface_lowest_at = r.z;
    if (!(r.surf_max <= f.surface_highest))
      f.surface_highest = r.surf_max, f.surface_highest_at = r.z;
  }
  const WindowRise rise = LargestRiseOver(z, surf, kReheatSpan);
  f.reheat_per_m = rise.per_m;
  f.reheat_from = rise.from;
  return f;
}

std::vector<LimitCheck> CheckLimits(const StrandLimits& l, const StrandFigures& f) {
  std::vector<LimitCheck> out;
  if (!std::isnan(l.surface_min))
    out.push_back({"surface_min_degC", l.surface_min, f.surface_lowest, f.surface_lowest_at,
                   f.surface_lowest >= l.surface_min});
  if (!std::isnan(l.surface_max))
    out.push_back({"surface_max_degC", l.surface_max, f.surface_highest, f.surface_highest_at,
                   f.surface_highest <= l.surface_max});
  if (!std::isnan(l.reheat_max))
    out.push_back({"reheat_max_K_per_m", l.reheat_max, f.reheat_per_m, f.reheat_from,
                   f.reheat_per_m <= l.reheat_max});
  if (!std::isnan(l.crater_end_max))
    out.push_back({"crater_end_max_m", l.crater_end_max, f.crater_end_m, f.crater_end_m,
                   f.crater_end_m <= l.crater_end_max});
  return out;
}

ZoneDesign DesignZones(Tepora& P, const CasterZones& zones, const ControlPoints& CP,
                       const char* caster, const char* points) {
  P.cooling.SetZones(zones, P.grid);
  Designer d(P, zones, CP);
  ZoneDesign out;
  out.zones = zones;
  int last_zone = -1;
  for (size_t n = 0; n < zones.sprays.size(); ++n)
    if (d.slices[n].first >= 0) last_zone = int(n);
  int next = 0;
  for (size_t n = 0; n < zones.sprays.size(); ++n) {
    const SprayZone& s = zones.sprays[n];
    if (d.slices[n].first < 0) {  // holds no slice: cools nothing, kept as given
      out.outcome.push_back({s.Value(), s.Value(), s.htc, s.Value(), s.Value(), 0, ""});
      continue;
    }
    const int last = int(n) == last_zone ? P.grid.ndz - 2 : std::min(d.slices[n].second, P.grid.ndz - 2);
    out.outcome.push_back(d.Design(n, next, last));
    next = last + 1;
    SprayZone& z = out.zones.sprays[n];
    z.htc = out.outcome.back().htc;
    if (z.ByWater()) z.water_l_min = out.outcome.back().value;
  }
  out.solves = d.solves;
  out.assembled = d.field.H;
  out.unzoned = d.unzoned;

  // The result checked: the strand solved whole again under the zones
  // found, which every report reads.
  P.cooling.SetZones(out.zones, P.grid);
  out.strand = SolveSteadyStrand(P);
  P.field.T = out.strand.T;
  P.field.H_final = out.strand.H;
  out.figures = FiguresOf(P, out.zones);
  out.limits = CheckLimits(zones.limits, out.figures);
  for (const auto& [q, zone] : d.points) {
    d.field.T = out.strand.T;
    out.targets.push_back({zone, q.index, q.z, q.target, d.Reading(q)});
  }
  for (size_t n = 0; n < zones.sprays.size(); ++n)
    if (!std::isnan(zones.sprays[n].target_surface) && d.slices[n].first >= 0) {
      vec Ts(P.grid.ndphi);
      const int k = d.slices[n].second;
      for (int j = 0; j < P.grid.ndphi; ++j) Ts(j) = d.SurfaceAt(out.strand.T, j, k);
      out.targets.push_back({int(n), -1, d.centre[k], zones.sprays[n].target_surface,
                             arma::mean(Ts)});
    }
  std::stable_sort(out.targets.begin(), out.targets.end(),
                   [](const DesignTarget& a, const DesignTarget& b) { return a.zone < b.zone; });

  // Points in the mould or the air cooling are warned of as the program starts.
  for (const int p : d.unzoned)
    if (CP.CPMat(p, 2) > P.cooling.CrystallizerLength && CP.CPMat(p, 2) <= P.grid.L - P.cooling.TertiaryLength)
      out.warnings.push_back(std::string(points) + ": point " + std::to_string(p + 1) + " at z " +
                           ValueText(CP.CPMat(p, 2)) +
                           " m lies in no spray zone; it is reported against its target, no "
                           "zone is designed for it");
  for (const DesignTarget& t : out.targets) {
    if (t.Met()) continue;
    const ZoneOutcome& o = out.outcome[t.zone];
    const SprayZone& s = out.zones.sprays[t.zone];
    char miss[32];
    std::snprintf(miss, sizeof miss, "%+.1f K", t.Deviation());
    const std::string what =
        t.point >= 0 ? std::string(points) + ": point " + std::to_string(t.point + 1) +
                           " at z " + ValueText(t.z) + " m"
                     : std::string(caster) + ": spray[" + std::to_string(t.zone + 1) +
                           "].target_surface_degC";
    const std::string held =
        !o.held_by.empty()
            ? o.held_by + " held spray[" + std::to_string(t.zone + 1) + "] at " +
                  ValueText(std::round(o.value * 10) / 10) + " " + Unit(s)
            : "the zone's one value serves the mean of its " + std::to_string(o.targets) +
                  " targets";
    out.warnings.push_back(what + " misses its target of " + ValueText(t.target) + " degC by " +
                           miss + ": " + held);
  }
  for (size_t n = 0; n < out.zones.sprays.size(); ++n) {
    const SprayZone& z = out.zones.sprays[n];
    if (!z.ByWater()) continue;
    const double W = WaterFluxDensity(z.water_l_min, z.sprayed_length_m, P.grid.R, z.wetted_fraction);
    if (W >= kWaterFluxLow && W <= kWaterFluxHigh) continue;
    char density[32];
    std::snprintf(density, sizeof density, "%.3g", W);
    out.warnings.push_back(std::string(caster) + ": spray[" + std::to_string(n + 1) +
                           "] designed at " + ValueText(z.water_l_min) +
                           " l/min gives a water-flux density of " + density +
                           " l/(m^2 s), outside the " + ValueText(kWaterFluxLow) + " to " +
                           ValueText(kWaterFluxHigh) + " l/(m^2 s) the " +
                           CorrelationName(zones.water.correlation) +
                           " correlation was measured over; its htc is taken as the formula "
                           "gives it");
  }
  for (const LimitCheck& l : out.limits)
    if (!l.kept)
      out.warnings.push_back(std::string(caster) + ": limits." + l.key + " is " +
                             ValueText(l.limit) + ", and the strand under the zones found " +
                             (std::isfinite(l.value)
                                  ? "gives " + ValueText(std::round(l.value * 100) / 100) +
                                        (std::isfinite(l.at_m)
                                             ? " at " + ValueText(std::round(l.at_m * 100) / 100) + " m"
                                             : std::string(""))
                                  : std::string("has its crater beyond the strand's end")) +
                             "; the zones' bounds and the other limits do not let the search keep it");
  return out;
}

}  // namespace tepora
