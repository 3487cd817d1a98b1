#include "apps/opt_report.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "apps/report_json.h"
#include "model/strand_results.h"
#include "common/whole_file.h"

namespace tepora {

using nlohmann::json;

namespace {

// Neighbouring elements that still differ by more than this on the slices
// they share leave a seam in the assembled strand larger than a surface
// pyrometer's accuracy (about 10 K).
const double kSeamToleranceK = 10.0;

void Warn(const std::string& line) {
  std::fflush(stdout);
  std::cerr << "warning: " << line << std::endl;
}

std::string Metres(double x) { return ValueText(std::round(x * 1e6) / 1e6); }

// Surface temperature of the assembled strand, sectors by slices, degC:
// under the caster's mould and air cooling and each element's htc on the
// stretch where it acts, the surface law every element's run applied there.
mat AssembledSurface(const Optimise& C, const Tepora& P, const CasterZones& zones,
                     const ElementLayout& layout) {
  Tepora S = P;
  S.field.T = C.T;
  CasterZones found = zones;
  found.sprays.clear();
  for (const SprayZone& z : ElementStretches(layout, C.OptimalHtcs, C.dz0, zones.mould_length,
                                             P.grid.L - P.cooling.TertiaryLength))
    if (z.to_m > z.from_m) found.sprays.push_back(z);
  S.cooling.SetZones(found, S.grid);
  return S.SurfaceField();
}

}  // namespace

void ReportOptimiser(const Optimise& C, Tepora& P, const ControlPoints& CP,
                     const CasterZones& zones, double overlap, bool searched) {
  json r;
  const ElementLayout layout = ElementLayoutOf(C.settings.elements, overlap, C.ndz);
  const std::vector<double> htcs = C.CandidateHtcs();
  std::printf("\nOptimiser report (TeporaOut/OptReport.json)\n  element  from m   to m     "
              "htc W/(m2 K)\n");
  json elements = json::array();
  for (int i = 0; i < C.settings.elements; ++i) {
    const double from = double(layout.elem[i].first) * C.dz0;
    const double to = double(layout.elem[i].last + 1) * C.dz0;
    elements.push_back({{"element", i + 1}, {"from_m", from}, {"to_m", to},
                        {"htc_W_m2K", C.OptimalHtcs(i)}});
    std::printf("  %-8d %-8s %-8s %s\n", i + 1, Metres(from).c_str(), Metres(to).c_str(),
                ValueText(C.OptimalHtcs(i)).c_str());
    if (searched && !htcs.empty() && (C.OptimalHtcs(i) == htcs.front() ||
                                      C.OptimalHtcs(i) == htcs.back()))
      Warn("element " + std::to_string(i + 1) + ": its htc " + ValueText(C.OptimalHtcs(i)) +
           " W/(m2 K) is the " + (C.OptimalHtcs(i) == htcs.front() ? "lowest" : "highest") +
           " candidate; the optimum may lie outside the grid (Input/OptSettings.txt lines 1 "
           "to 3)");
  }
  r["elements"] = elements;

  // Points in the assembled strand, read as the elements' searches read
  // them: in the cylindrical step the surface temperature from the outer
  // ring's centre out, between ring centres inside; in the flat step the
  // cell that holds the point.
  json points = json::array();
  const mat& M = CP.CPMat;
  std::printf("  point  z m      target degC  strand degC  deviation K\n");
  const double steps[3] = {C.dr0, C.dphi, C.dz0};
  const bool flat = C.model == Formulation::Flat;
  const mat Ts = flat || M.n_rows == 0 ? mat() : AssembledSurface(C, P, zones, layout);
  for (uword p = 0; p < M.n_rows && M.n_cols >= 4; ++p) {
    uword cell[3];
    for (int a = 0; a < 2; ++a) cell[a] = uword(GridIndex(M(p, a), steps[a]));
    cell[2] = uword(PointSlice(M(p, 2), steps[2]));
    const double T = flat ? C.T(cell[0], cell[1], cell[2])
                          : PointTemperature(P, C.T, M(p, 0), cell[1], cell[2],
                                             Ts(cell[1], cell[2]));
    points.push_back({{"point", p + 1}, {"r_m", M(p, 0)}, {"phi_rad", M(p, 1)}, {"z_m", M(p, 2)},
                      {"element", int(C.ElemOfCP(p)) + 1}, {"target_degC", M(p, 3)},
                      {"temperature_degC", T}, {"deviation_K", T - M(p, 3)}});
    std::printf("  %-6llu %-8s %-12g %-12.1f %+.1f\n", (unsigned long long)(p + 1),
                Metres(M(p, 2)).c_str(), M(p, 3), T, T - M(p, 3));
  }
  r["control_points"] = points;
  // An element is scored at its last point; the others in it are not.
  for (int i = 0; i < C.settings.elements; ++i) {
    std::vector<uword> in;
    for (uword p = 0; p < C.ElemOfCP.n_elem; ++p)
      if (C.ElemOfCP(p) == i) in.push_back(p + 1);
    if (in.size() < 2) continue;
    std::string others;
    for (size_t n = 0; n + 1 < in.size(); ++n)
      others += (others.empty() ? "" : ", ") + std::to_string(in[n]);
    Warn("element " + std::to_string(i + 1) + " holds " + std::to_string(in.size()) +
         " control points; it is scored at point " + std::to_string(in.back()) +
         " only, point(s) " + others + " are not scored");
  }

  json history = json::array();
  // No times here: the report is a result, the same for any thread count and
  // rank count; the progress lines tell the times.
  if (!C.History.empty()) std::printf("  iteration  htc change W/(m2 K)  seam K\n");
  for (size_t n = 0; n < C.History.size(); ++n) {
    const IterationStats& it = C.History[n];
    history.push_back({{"iteration", n + 1}, {"largest_htc_change_W_m2K", Number(it.htc_change)},
                       {"largest_seam_jump_K", it.seam_jump}});
    std::printf("  %-10zu %-20s %.1f\n", n + 1,
                std::isfinite(it.htc_change) ? ValueText(it.htc_change).c_str() : "-",
                it.seam_jump);
  }
  r["iterations"] = history;
  if (searched && !C.History.empty()) {
    const IterationStats& last = C.History.back();
    const bool moved = !(last.htc_change == 0.0);
    if (moved || last.seam_jump > kSeamToleranceK)
      Warn("not converged: the last iteration still moved htcs by " +
           (std::isfinite(last.htc_change) ? ValueText(last.htc_change) : std::string("?")) +
           " W/(m2 K) and seams by " + ValueText(std::round(last.seam_jump * 10) / 10) +
           " K; run more iterations (Input/OptSettings.txt line 4)");
  }

  // What the plot needs beside the profile.
  r["ring_radii_m"] = ProfileRadii(P);
  r["surface_radius_m"] = P.grid.FaceRadius(P.grid.ndr);
  double sol = zones.solidus, liq = zones.liquidus;
  if (std::isnan(sol) || std::isnan(liq)) {
    if (!EstimateSolidusLiquidus(P.material.ConstM, sol, liq)) sol = liq = NAN;
  }
  r["solidus_degC"] = Number(sol);
  r["liquidus_degC"] = Number(liq);
  const std::vector<SprayZone> stretches = ElementStretches(
      layout, C.OptimalHtcs, C.dz0, zones.mould_length, P.grid.L - P.cooling.TertiaryLength);
  json zj = json::array({{{"name", "mould"}, {"from_m", 0.0}, {"to_m", zones.mould_length},
                          {"htc_W_m2K", zones.mould_htc}}});
  for (size_t i = 0; i < stretches.size(); ++i)
    if (stretches[i].to_m > stretches[i].from_m)
      zj.push_back({{"name", "element " + std::to_string(i + 1)},
                    {"from_m", stretches[i].from_m}, {"to_m", stretches[i].to_m},
                    {"htc_W_m2K", stretches[i].htc}});
  const double length = C.ndz * C.dz0,
               air = std::max(P.grid.L - P.cooling.TertiaryLength, zones.mould_length);
  if (length > air)
    zj.push_back({{"name", "air"}, {"from_m", air}, {"to_m", length}, {"htc_W_m2K", nullptr}});
  r["zones"] = zj;
  r["strand_length_m"] = length;
  // The assembled strand slice by slice, as Strand.csv holds the
  // simulator's: the surface is the outer face under the optimised htcs
  // (the outer ring's own temperature lies up to half a ring's drop above
  // it), the shells from the rings as the simulator reads them.
  if (C.T.n_elem == P.field.T.n_elem && C.T.n_elem > 0) {
    Tepora S = P;
    S.field.T = C.T;
    S.field.H_final.reset();
    CasterZones optimised = zones;
    optimised.sprays.clear();
    for (const SprayZone& zone : stretches)
      if (zone.to_m > zone.from_m) optimised.sprays.push_back(zone);
    S.cooling.SetZones(optimised, S.grid);
    r["strand"] = StrandColumns(S, sol, liq);
  }
  r["model"] = FormulationName(C.model);
  WriteWhole("TeporaOut/OptReport.json", "OptReport", r.dump(2) + "\n");
}

}  // namespace tepora
