#include "apps/zone_report.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "apps/report_json.h"
#include "apps/caster_writer.h"
#include "optimise/optimise.h"
#include "model/strand_results.h"
#include "common/whole_file.h"

namespace tepora {

using nlohmann::json;

namespace {

std::string Fixed(double x, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, x);
  return text;
}

}  // namespace

std::string ZoneValueText(const SprayZone& z, double value) {
  return Fixed(value, 1) + (z.ByWater() ? " l/min" : " W/(m2 K)");
}

void WarnDesign(const ZoneDesign& d, const std::string& prefix) {
  std::fflush(stdout);
  for (const std::string& w : d.warnings) std::cerr << "warning: " << prefix << w << "\n";
  std::cerr.flush();
}

void ReportZoneDesign(const ZoneDesign& d, const CasterZones& given, Tepora& P,
                      const ControlPoints& CP, const char* caster) {
  json r;
  r["mode"] = "zone design";
  r["model"] = FormulationName(P.model);
  r["casting_speed_m_min"] = P.vz * 60;
  r["elements"] = json::array();
  std::printf("\nZone design (TeporaOut/OptReport.json; the caster with the zones found in "
              "TeporaOut/OptimalSprays.toml)\n  zone      from m  to m    given              "
              "designed           htc W/(m2 K)  targets  held by\n");
  json zones = json::array({{{"name", "mould"}, {"from_m", 0.0}, {"to_m", given.mould_length},
                             {"htc_W_m2K", given.mould_htc}}});
  json bound = json::array();
  for (size_t n = 0; n < d.zones.sprays.size(); ++n) {
    const SprayZone& z = d.zones.sprays[n];
    const ZoneOutcome& o = d.outcome[n];
    json zj = {{"name", "spray " + std::to_string(n + 1)}, {"from_m", z.from_m}, {"to_m", z.to_m},
               {"htc_W_m2K", o.htc}, {"unit", z.ByWater() ? "l/min" : "W/(m2 K)"},
               {"given", o.given}, {"designed", o.value}, {"searched_from", o.low},
               {"searched_to", o.high}, {"targets", o.targets},
               {"held_by", o.held_by.empty() ? json(nullptr) : json(o.held_by)}};
    if (z.ByWater()) zj["water_l_min"] = o.value;
    zones.push_back(zj);
    if (!o.held_by.empty()) bound.push_back({{"zone", n + 1}, {"by", o.held_by}});
    std::printf("  %-9s %-7s %-7s %-18s %-18s %-13s %-8d %s\n",
                ("spray " + std::to_string(n + 1)).c_str(), Fixed(z.from_m, 2).c_str(),
                Fixed(z.to_m, 2).c_str(), ZoneValueText(z, o.given).c_str(),
                ZoneValueText(z, o.value).c_str(), Fixed(o.htc, 1).c_str(), o.targets,
                o.held_by.empty() ? "-" : o.held_by.c_str());
  }
  const double length = arma::accu(P.grid.dz), air = std::max(P.grid.L - P.cooling.TertiaryLength, given.mould_length);
  if (length > air)
    zones.push_back({{"name", "air"}, {"from_m", air}, {"to_m", length}, {"htc_W_m2K", nullptr}});
  r["zones"] = zones;
  r["limits_that_bound"] = bound;

  json targets = json::array();
  int missed = 0;
  if (!d.targets.empty())
    std::printf("  target                      z m     target degC  strand degC  deviation K\n");
  for (const DesignTarget& t : d.targets) {
    const std::string name = t.point >= 0 ? "point " + std::to_string(t.point + 1) + " (spray " +
                                                std::to_string(t.zone + 1) + ")"
                                          : "spray " + std::to_string(t.zone + 1) + " end surface";
    targets.push_back({{"zone", t.zone + 1}, {"point", t.point >= 0 ? json(t.point + 1) : json(nullptr)},
                       {"z_m", t.z}, {"target_degC", t.target}, {"temperature_degC", t.reading},
                       {"deviation_K", t.Deviation()}, {"met", t.Met()}});
    missed += !t.Met();
    std::printf("  %-27s %-7s %-12s %-12s %+.1f%s\n", name.c_str(), Fixed(t.z, 2).c_str(),
                ValueText(t.target).c_str(), Fixed(t.reading, 1).c_str(), t.Deviation(),
                t.Met() ? "" : "  missed");
  }
  r["targets"] = targets;
  r["targets_met"] = int(d.targets.size()) - missed;
  r["targets_missed"] = missed;

  json limits = json::array();
  for (const LimitCheck& l : d.limits) {
    limits.push_back({{"limit", "limits." + l.key}, {"value", l.limit}, {"strand", Number(l.value)},
                      {"at_m", Number(l.at_m)}, {"kept", l.kept}});
    std::printf("  limits.%-20s %-8s strand %s%s: %s\n", l.key.c_str(), ValueText(l.limit).c_str(),
                Fixed(l.value, 1).c_str(),
                std::isfinite(l.at_m) ? (" at " + Fixed(l.at_m, 2) + " m").c_str() : "",
                l.kept ? "kept" : "BROKEN");
  }
  r["limits"] = limits;
  const StrandFigures& f = d.figures;
  r["strand_figures"] = {{"shell_at_mould_exit_mm", Number(f.shell_exit_mm)},
                         {"crater_end_m", Number(f.crater_end_m)},
                         {"lowest_surface_below_mould_degC", Number(f.surface_lowest)},
                         {"largest_reheating_over_1m_K_per_m", f.reheat_per_m}};
  std::printf("  strand under the zones found (steady, solved again whole): shell at mould exit %s mm, crater "
              "end %s, lowest surface below the mould %s degC, largest reheating over 1 m %s K/m\n",
              Fixed(f.shell_exit_mm, 1).c_str(),
              std::isfinite(f.crater_end_m) ? (Fixed(f.crater_end_m, 2) + " m").c_str()
                                            : "beyond the strand's end",
              Fixed(f.surface_lowest, 0).c_str(), Fixed(f.reheat_per_m, 1).c_str());
  std::printf("  %d steady solves of a zone's slices, then the whole strand once\n", d.solves);
  r["steady_solves"] = d.solves;

  // Every control point on the final strand, as the plot marks them.
  json points = json::array();
  const mat& M = CP.CPMat;
  const mat Ts = M.n_rows > 0 ? P.SurfaceField() : mat();
  for (uword p = 0; p < M.n_rows && M.n_cols >= 4; ++p) {
    const uword j = uword(GridIndex(M(p, 1), P.grid.dphi)), k = uword(PointSlice(M(p, 2), P.grid.dz(0)));
    const double T = PointTemperature(P, P.field.T, M(p, 0), j, k, Ts(j, k));
    int zone = 0;
    for (const DesignTarget& t : d.targets)
      if (t.point == int(p)) zone = t.zone + 1;
    points.push_back({{"point", p + 1}, {"r_m", M(p, 0)}, {"phi_rad", M(p, 1)}, {"z_m", M(p, 2)},
                      {"zone", zone > 0 ? json(zone) : json(nullptr)}, {"target_degC", M(p, 3)},
                      {"temperature_degC", T}, {"deviation_K", T - M(p, 3)}});
  }
  r["control_points"] = points;

  r["ring_radii_m"] = ProfileRadii(P);
  r["surface_radius_m"] = P.grid.FaceRadius(P.grid.ndr);
  double sol = given.solidus, liq = given.liquidus;
  if (std::isnan(sol) || std::isnan(liq))
    if (!EstimateSolidusLiquidus(P.material.ConstM, sol, liq)) sol = liq = NAN;
  r["solidus_degC"] = Number(sol);
  r["liquidus_degC"] = Number(liq);
  r["strand_length_m"] = length;
  r["strand"] = StrandColumns(P, sol, liq);
  WriteWhole("TeporaOut/OptReport.json", "OptReport", r.dump(2) + "\n");
  WriteWhole("TeporaOut/OptimalSprays.toml", "toml",
             CasterToml(d.zones, std::string(caster) + " with the spray zones tepora-opt designed "
                                 "at " + ValueText(P.vz * 60) + " m/min, each in the unit it "
                                 "was given in;\nrun it in tepora-sim as Input/Caster.toml."));
  SaveWhole(SectorProfile(P.field.T), "TeporaOut/Profile.mat");
}

}  // namespace tepora
