#include "apps/run_summary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "apps/report_json.h"
#include "optimise/optimise.h"
#include "apps/run_settings.h"
#include "model/strand_results.h"
#include "common/whole_file.h"

namespace tepora {

using nlohmann::json;

namespace {

// A cell that still moves by more than this over the last tenth of the run
// is not steady: a whole degree is the resolution of the optimiser's
// deviations and of the plant's pyrometers.
const double kSteadyChangeK = 1.0;

// Plants judge the surface's reheating over a metre of strand (or over a
// zone), the length over which a reheating crack's stresses build up.
const double kReheatingSpan = 1.0;  // m

// The shell at the mould's exit, where breakouts start, should span at least
// this many rings: on fewer its thickness moves by a ring's width with the grid.
const int kShellRings = 3;

struct Zone {
  std::string name;
  double from, to;  // m
  double htc;       // W/(m^2 K); NaN for the air
};

// The zones as the model applies them: the mould, the spray zones (or one
// secondary-cooling stretch at the default htc), the air cooling to the end.
std::vector<Zone> ZonesOf(const Tepora& P, const RunFacts& f, double length) {
  const CasterZones& c = *f.zones;
  const double mould = std::min(P.cooling.CrystallizerLength, length);
  const double air = std::min(std::max(P.grid.L - P.cooling.TertiaryLength, mould), length);
  std::vector<Zone> zones{{"mould", 0.0, mould, P.cooling.htc_k}};
  if (c.sprays.empty()) {
    if (air > mould) zones.push_back({"secondary cooling", mould, air, f.htc_default});
  } else {
    for (size_t n = 0; n < c.sprays.size(); ++n)
      zones.push_back({"spray " + std::to_string(n + 1), c.sprays[n].from_m, c.sprays[n].to_m,
                       c.sprays[n].htc});
  }
  if (length > air) zones.push_back({"air", air, length, std::nan("")});
  return zones;
}

// A position to the micrometre, without the trailing digits of a binary sum
// of slice lengths.
std::string Metres(double x) { return ValueText(std::round(x * 1e6) / 1e6); }

// Every digit of the number, however large (1e300 has 301 before the point).
std::string Fixed(double x, int digits) {
  std::string text(size_t(std::snprintf(nullptr, 0, "%.*f", digits, x)) + 1, '\0');
  std::snprintf(&text[0], text.size(), "%.*f", digits, x);
  text.pop_back();
  return text;
}

// Appends printf-style text to `out`.
void Say(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  std::string text(size_t(std::vsnprintf(nullptr, 0, format, args)) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, again);
  va_end(again);
  va_end(args);
  text.pop_back();
  out += text;
}

// An empty field where a figure is not known (NaN).
std::string Field(double x, int digits) { return std::isnan(x) ? "" : Fixed(x, digits); }

// The flat step's figure: the steepest rise of the surface between two
// neighbouring slices, K/m, and where it lies.
void ReportSliceReheating(json& s, std::string& console, const std::vector<double>& z,
                          const std::vector<double>& surf) {
  double reheat = 0.0, where = NAN;
  for (size_t k = 0; k + 1 < z.size(); ++k) {
    const double g = (surf[k + 1] - surf[k]) / (z[k + 1] - z[k]);
    if (g > reheat) reheat = g, where = 0.5 * (z[k] + z[k + 1]);
  }
  s["largest_reheating_K_per_m"] = reheat;
  s["largest_reheating_at_m"] = Number(where);
  if (std::isfinite(where))
    Say(console, "  largest surface reheating: %s K/m at %s m\n", Fixed(reheat, 1).c_str(),
        Fixed(where, 2).c_str());
  else
    Say(console, "  largest surface reheating: none, the surface cools all along the strand\n");
}

std::string StrandCsv(const std::vector<StrandRow>& rows) {
  std::string text =
      "z_m,surface_min_degC,surface_mean_degC,surface_max_degC,axis_degC,shell_solidus_mm,"
      "shell_liquidus_mm,solid_fraction\n";
  char z[32];
  for (const StrandRow& r : rows) {
    std::snprintf(z, sizeof z, "%.6g", r.z);
    text += std::string(z) + "," + Field(r.surf_min, 3) + "," + Field(r.surf_mean, 3) + "," +
            Field(r.surf_max, 3) + "," + Field(r.axis, 3) + "," + Field(r.shell_sol, 3) + "," +
            Field(r.shell_liq, 3) + "," + Field(r.solid, 5) + "\n";
  }
  return text;
}

// Why coordinate `axis` (r, phi, z) of a control point at `x` lies in no
// cell of a grid that spans (0, extent]: with the likely unit mistake when
// the value fits the grid in another unit.
std::string OutsideGrid(int axis, double x, double extent) {
  const char* names[3] = {"r", "phi", "z"};
  const char* units[3] = {"m", "rad", "m"};
  char end[32];
  std::snprintf(end, sizeof end, "%.4g", extent);
  std::string why = std::string("has ") + names[axis] + " = " + ValueText(x) + " " + units[axis] +
                    ", outside the strand's grid from 0 to " + end + " " + units[axis];
  if (axis == 1 && x > extent && x <= 360) why += " (degrees instead of radians?)";
  if (axis != 1 && x > 10 * extent && x / 1000 <= extent) why += " (mm instead of m?)";
  return why;
}

// The outer kShellRings rings' width against the shell at the mould's exit
// (mm; none when NaN or 0, no shell to resolve).
void WarnIfShellCoarse(const Tepora& P, double exit, double shell_mm) {
  const int outer = std::max(0, P.grid.ndr - kShellRings);
  const double rings = P.grid.FaceRadius(P.grid.ndr) - P.grid.FaceRadius(outer);  // m
  if (!(shell_mm > 0) || shell_mm / 1000 >= rings) return;
  char width[32];
  std::snprintf(width, sizeof width, "%.2g", shell_mm / 1000 / kShellRings);
  std::cerr << "warning: " << NumSettingsFile("Input/NumSettings.txt").Entry(0) << " is "
            << ValueText(P.grid.dr(P.grid.ndr - 1)) << " m, and the shell at mould exit ("
            << Metres(exit) << " m), " << Fixed(shell_mm, 1) << " mm, spans fewer than "
            << kShellRings << " rings; its thickness and the surface there change with the "
            << "grid; expected at most " << width << " m" << std::endl;
}

}  // namespace

int SteadinessSnapshotStep(int steps) { return steps - std::max(1, steps / 10); }

void ReportStrand(Tepora& P, const RunFacts& f, const ControlPoints& CP) {
  const CasterZones& c = *f.zones;
  double solidus = c.solidus, liquidus = c.liquidus;
  const bool stated = !std::isnan(solidus) && !std::isnan(liquidus);
  const bool known = stated || EstimateSolidusLiquidus(P.material.ConstM, solidus, liquidus);
  const std::string est = stated ? "" : " (estimated)";
  json s;
  s["model"] = FormulationName(P.model);
  s["casting_speed_m_min"] = P.vz * 60;
  s["casting_temperature_degC"] = P.T_in;
  s["solidus_degC"] = Number(known ? solidus : NAN);
  s["liquidus_degC"] = Number(known ? liquidus : NAN);
  if (P.model == Formulation::Cylindrical || c.crater_solid_fraction != 1)
    s["crater_solid_fraction"] = c.crater_solid_fraction;
  s["superheat_K"] = Number(known ? P.T_in - liquidus : NAN);
  s["estimated_solidus_liquidus"] = !stated;
  s["solidus_liquidus_source"] =
      !c.composition.empty()
          ? std::string(f.steel_source) + " [steel] composition, by the solidus and liquidus "
                                          "formulas"
      : stated ? std::string(f.steel_source)
      : known  ? "estimated from the material table's latent heat"
               : "not found";
  if (!c.composition.empty()) s["composition_mass_percent"] = c.composition;
  s["ring_radii_m"] = ProfileRadii(P);
  s["surface_radius_m"] = P.grid.FaceRadius(P.grid.ndr);
  const double length = arma::accu(P.grid.dz);
  s["strand_length_m"] = length;

  const std::vector<StrandRow> rows =
      StrandRows(P, known ? solidus : NAN, known ? liquidus : NAN);
  std::vector<double> z, surf, shell;
  for (const StrandRow& r : rows) {
    z.push_back(r.z);
    surf.push_back(r.surf_mean);
    shell.push_back(r.shell_sol);
  }
  WriteWhole("TeporaOut/Strand.csv", "Strand", StrandCsv(rows));

  const std::vector<Zone> zones = ZonesOf(P, f, length);
  std::string console;  // the summary block, printed once the files are written
  Say(console,
      "\nStrand summary (TeporaOut/Summary.json, slice by slice in TeporaOut/Strand.csv)\n");
  if (known)
    Say(console, "  solidus %s degC, liquidus %s degC: %s\n", Fixed(solidus, 1).c_str(),
        Fixed(liquidus, 1).c_str(), s["solidus_liquidus_source"].get<std::string>().c_str());
  else
    Say(console,
        "  no melting range known: the material table shows no latent heat and "
        "Input/Caster.toml states none; the shell, the crater end and the solid "
        "fraction are left empty\n");
  const double mould_exit = zones.front().to;
  s["mould_exit_m"] = mould_exit;
  double exit_shell = NAN;  // mm
  for (const char* key : {"shell_at_mould_exit_mm", "liquid_pool_end_m", "crater_end_m"})
    s[key] = nullptr;
  if (known) {
    const double d = AlongStrand(z, shell, mould_exit);
    exit_shell = d;
    s["shell_at_mould_exit_mm"] = d;
    Say(console, "  shell at mould exit (%s m)%s: %s mm\n", Metres(mould_exit).c_str(), est.c_str(),
        Fixed(d, 1).c_str());
    const double g = c.crater_solid_fraction;
    const std::string crater =
        g == 1 ? "crater end (metallurgical length)"
               : "crater end (metallurgical length, axis " + ValueText(g) + " solid)";
    for (const auto& [key, fraction, what] :
         {std::tuple<const char*, double, const char*>{"liquid_pool_end_m", 0.0,
                                                       "end of the liquid pool"},
          {"crater_end_m", g, crater.c_str()}}) {
      const double at = AxisReaches(P, rows, solidus, liquidus, fraction);
      s[key] = Number(at < 0 ? 0.0 : at);
      Say(console, "  %s%s: %s\n", what, est.c_str(),
          std::isfinite(at) ? (Fixed(std::max(at, 0.0), 2) + " m").c_str()
                            : ("beyond the strand end at " + Metres(length) + " m").c_str());
    }
  }
  json zj = json::array();
  std::string exits;
  for (const Zone& zone : zones) {
    const double t = AlongStrand(z, surf, zone.to);
    zj.push_back({{"name", zone.name}, {"from_m", zone.from}, {"to_m", zone.to},
                  {"htc_W_m2K", Number(zone.htc)}, {"exit_surface_degC", t}});
    exits += (exits.empty() ? "" : ", ") + zone.name + " " + Metres(zone.to) + " m " +
             Fixed(t, 0) + " degC";
  }
  if (P.model == Formulation::Flat) {
    s["zones"] = zj;
    Say(console, "  surface at zone exits: %s\n", exits.c_str());
    ReportSliceReheating(s, console, z, surf);
  } else {
    std::string rises;
    for (size_t n = 0; n < zones.size(); ++n) {
      zj[n]["reheating_after_K"] = nullptr;  // the last zone has none after it
      if (n + 1 == zones.size()) break;
      const double rise = RiseAfter(z, surf, zones[n].to, zones[n + 1].to);
      zj[n]["reheating_after_K"] = rise;
      rises += (rises.empty() ? "" : ", ") + zones[n].name + " " + Fixed(rise, 0) + " K";
    }
    s["zones"] = zj;
    Say(console, "  surface at zone exits: %s\n", exits.c_str());
    if (!rises.empty()) Say(console, "  surface reheating after zone exits: %s\n", rises.c_str());
    const WindowRise steepest = LargestRiseOver(z, surf, kReheatingSpan);
    s["largest_reheating_over_1m_K_per_m"] = steepest.per_m;
    s["largest_reheating_over_1m_from_m"] = Number(steepest.from);
    if (std::isfinite(steepest.from))
      Say(console, "  largest surface reheating over 1 m: %s K/m from %s to %s m\n",
          Fixed(steepest.per_m, 1).c_str(), Fixed(steepest.from, 2).c_str(),
          Fixed(steepest.from + kReheatingSpan, 2).c_str());
    else
      Say(console, "  largest surface reheating over 1 m: none, the surface cools all along the "
                   "strand\n");
  }

  const double simulated = f.steps * P.dtau, transit = P.vz > 0 ? length / P.vz : INFINITY;
  double change = NAN;
  if (P.field.snapshot.n_elem == P.field.T.n_elem && P.field.snapshot.n_elem > 0 && !f.steady_solve)
    change = arma::abs(P.field.T - P.field.snapshot).max();
  const bool steady = f.steady_solve ||
                      (simulated >= transit && std::isfinite(change) && change <= kSteadyChangeK);
  s["steady_state"] = {{"simulated_s", f.steady_solve ? json(nullptr) : json(simulated)},
                       {"transit_s", Number(transit)},
                       {"largest_change_over_last_tenth_K", Number(change)},
                       {"steady", steady}};
  // The flat step has no steady solve, and its reports stay as they were.
  const bool cylindrical = P.model == Formulation::Cylindrical;
  if (cylindrical) {
    s["steady_state"]["solved_directly"] = f.steady_solve;
    s["steady_state"]["largest_difference_to_steady_strand_K"] =
        f.steady_solve ? json(0.0) : Number(f.steady_distance);
  }
  const std::string distance =
      !cylindrical ? ""
      : std::isfinite(f.steady_distance)
          ? "; largest difference to the steady strand (without axial conduction) " +
                Fixed(f.steady_distance, 3) + " K"
          : "; largest difference to the steady strand not computed";
  if (f.steady_solve)
    Say(console, "  steady state: the steady strand itself, solved slice by slice without axial "
                 "conduction (transit time %s s)\n",
        Fixed(transit, 0).c_str());
  else
    Say(console,
        "  steady state: simulated %s s against a transit time of %s s; largest change "
        "over the last 10 %% of the steps %s K%s\n",
        ValueText(simulated).c_str(),
        std::isfinite(transit) ? Fixed(transit, 0).c_str() : "(no casting speed)",
        std::isfinite(change) ? Fixed(change, 3).c_str() : "(not measured)", distance.c_str());

  // The caster's [limits], each against this strand on one line.
  if (c.limits.Any()) {
    const double low_surface = [&] {
      double m = NAN;
      for (const StrandRow& r : rows)
        if (r.z >= mould_exit && !(r.surf_min >= m)) m = r.surf_min;
      return m;
    }();
    double high_surface = NAN;
    for (const StrandRow& r : rows)
      if (r.z >= mould_exit && !(r.surf_max <= high_surface)) high_surface = r.surf_max;
    const double crater = s["crater_end_m"].is_number() ? s["crater_end_m"].get<double>() : NAN;
    const WindowRise rise = LargestRiseOver(z, surf, kReheatingSpan);
    json lj = json::array();
    const auto limit = [&](const char* key, double lim, double value, bool kept, const char* unit) {
      if (std::isnan(lim)) return;
      lj.push_back({{"limit", std::string("limits.") + key}, {"value", lim},
                    {"strand", Number(value)}, {"kept", kept}});
      Say(console, "  limits.%s %s %s: strand %s %s, %s\n", key, ValueText(lim).c_str(), unit,
          std::isfinite(value) ? Fixed(value, 1).c_str() : "beyond the strand's end",
          std::isfinite(value) ? unit : "", kept ? "kept" : "BROKEN");
    };
    const StrandLimits& l = c.limits;
    limit("surface_min_degC", l.surface_min, low_surface, low_surface >= l.surface_min, "degC");
    limit("surface_max_degC", l.surface_max, high_surface, high_surface <= l.surface_max, "degC");
    limit("reheat_max_K_per_m", l.reheat_max, rise.per_m, rise.per_m <= l.reheat_max, "K/m");
    limit("crater_end_max_m", l.crater_end_max, crater, crater <= l.crater_end_max, "m");
    s["limits"] = lj;
  }

  json points = json::array();
  const mat& M = CP.CPMat;
  if (M.n_rows > 0 && M.n_cols >= 4) {
    const bool flat = P.model == Formulation::Flat;
    Say(console, flat ? "  control points (temperature of the cell that holds the point):\n"
                      : "  control points (the surface temperature from the outer ring's centre "
                        "out, between ring centres inside):\n");
    const mat Ts = flat ? mat() : P.SurfaceField();
    const double steps[3] = {P.grid.dr(0), P.grid.dphi, P.grid.dz(0)};
    const int counts[3] = {P.grid.ndr, P.grid.ndphi, P.grid.ndz};
    for (uword p = 0; p < M.n_rows; ++p) {
      uword cell[3];
      std::string outside = std::isfinite(M(p, 3)) ? ""
                                                   : "has the target " + ValueText(M(p, 3)) +
                                                         " degC, expected a finite temperature";
      for (int a = 0; a < 3 && outside.empty(); ++a) {
        const double x = a == 2 ? PointSlice(M(p, a), steps[a]) : GridIndex(M(p, a), steps[a]);
        if (x >= 0 && x < counts[a])
          cell[a] = uword(x);
        else
          outside = OutsideGrid(a, M(p, a), counts[a] * steps[a]);
      }
      if (!outside.empty()) {
        std::fflush(stdout);
        std::cerr << "warning: Input/ControlPoints.mat: point " << p + 1 << " " << outside
                  << "; not compared" << std::endl;
        continue;
      }
      const double T =
          flat ? P.field.T(cell[0], cell[1], cell[2])
               : PointTemperature(P, P.field.T, M(p, 0), cell[1], cell[2], Ts(cell[1], cell[2]));
      json point = {{"point", p + 1}, {"r_m", M(p, 0)}, {"phi_rad", M(p, 1)},
                    {"z_m", M(p, 2)}, {"target_degC", M(p, 3)}, {"temperature_degC", T},
                    {"deviation_K", T - M(p, 3)}};
      if (!flat) point["reads"] = ReadsSurface(P, M(p, 0)) ? "surface" : "inside";
      points.push_back(point);
      Say(console,
          "    point %llu at r %g m, phi %g rad, z %g m: %.1f degC, target %g degC, "
          "%+.1f K\n",
          (unsigned long long)(p + 1), M(p, 0), M(p, 1), M(p, 2), T, M(p, 3), T - M(p, 3));
    }
  }
  s["control_points"] = points;
  if (f.steady_solve)  // the flows of the steady strand, no content that changes
    s["energy_balance_W"] = {{"surface_out", P.energy.surface_out},
                             {"carried_in", P.energy.carried_in},
                             {"carried_out", P.energy.carried_out},
                             {"residual", P.energy.Residual()}};
  else if (P.model == Formulation::Cylindrical)
    s["energy_balance_J"] = {{"surface_out", P.energy.surface_out},
                             {"carried_in", P.energy.carried_in},
                             {"carried_out", P.energy.carried_out},
                             {"content_fall", P.energy.content_start - P.energy.content_end},
                             {"residual", P.energy.Residual()}};
  if (!f.schedule_figures.empty()) {
    json sj;
    for (const auto& [key, value] : f.schedule_figures) sj[key] = Number(value);
    s["schedule"] = sj;
  }
  WriteWhole("TeporaOut/Summary.json", "Summary", s.dump(2) + "\n");
  // Without a time step the files describe the starting field, which the
  // warning at start has said; the figures of a run would mislead.
  if (f.steps <= 0 && !f.steady_solve) {
    std::printf(
        "\nStrand summary: none, no time step ran (Input/NumSettings.txt line 5 is 0); "
        "TeporaOut holds the starting field\n");
    return;
  }
  std::fputs(console.c_str(), stdout);
  std::fflush(stdout);
  if (P.model == Formulation::Cylindrical) WarnIfShellCoarse(P, mould_exit, exit_shell);
  if (!steady)
    std::cerr << "warning: the strand is not yet steady: simulated " << ValueText(simulated)
              << " s against a transit time of "
              << (std::isfinite(transit) ? Fixed(transit, 0) : std::string("(none)"))
              << " s, cells still changed by up to "
              << (std::isfinite(change) ? Fixed(change, 2) : std::string("?"))
              << " K over the last 10 % of the steps; run more time steps (Input/NumSettings.txt "
                 "line 5)"
              << std::endl;
}

}  // namespace tepora
