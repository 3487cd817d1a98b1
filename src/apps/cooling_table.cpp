#include "apps/cooling_table.h"

#include <omp.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>

#include "common/whole_file.h"
#include "optimise/zone_design.h"
#include "apps/zone_report.h"

namespace tepora {

namespace {

// A figure to 0.001 in its unit, empty where none is known (no melting
// range, or a crater beyond the strand: "inf").
std::string Cell(double x) {
  if (std::isnan(x)) return "";
  if (std::isinf(x)) return "inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", x);
  return text;
}

}  // namespace

void WriteCoolingTable(const Tepora& P, const CasterZones& zones, const ControlPoints& CP,
                       const std::vector<double>& speeds, const char* caster, const char* points) {
  const int n = int(speeds.size());
  std::vector<ZoneDesign> designs(speeds.size());
  std::vector<std::exception_ptr> failed(speeds.size());
#pragma omp parallel for schedule(dynamic, 1)
  for (int i = 0; i < n; ++i) {
    try {
      Tepora Q = P;
      Q.vz = speeds[i] / 60;
      designs[i] = DesignZones(Q, zones, CP, caster, points);
    } catch (...) {
      failed[i] = std::current_exception();
    }
  }
  for (const std::exception_ptr& e : failed)
    if (e) std::rethrow_exception(e);

  std::string csv = "speed_m_min";
  for (size_t z = 0; z < zones.sprays.size(); ++z)
    csv += ",spray" + std::to_string(z + 1) + (zones.sprays[z].ByWater() ? "_water_l_min" : "_htc_W_m2K");
  csv += ",shell_at_mould_exit_mm,crater_end_m,lowest_surface_degC,largest_reheating_K_per_m,"
         "targets_missed,limits_that_bound,limits_broken\n";
  std::printf("\nCooling table (TeporaOut/CoolingTable.csv): %d speeds\n", n);
  for (int i = 0; i < n; ++i) {
    const ZoneDesign& d = designs[i];
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.4g", speeds[i]);
    WarnDesign(d, "at " + std::string(speed) + " m/min: ");
    std::string row = speed, values, bound, broken;
    for (size_t z = 0; z < d.outcome.size(); ++z) {
      row += "," + Cell(d.outcome[z].value);
      values += (values.empty() ? "" : ", ") + ZoneValueText(d.zones.sprays[z], d.outcome[z].value);
      if (!d.outcome[z].held_by.empty())
        bound += (bound.empty() ? "" : ";") + std::string("spray[") + std::to_string(z + 1) +
                 "]:" + d.outcome[z].held_by;
    }
    int missed = 0;
    for (const DesignTarget& t : d.targets) missed += !t.Met();
    for (const LimitCheck& l : d.limits)
      if (!l.kept) broken += (broken.empty() ? "" : ";") + std::string("limits.") + l.key;
    const StrandFigures& f = d.figures;
    row += "," + Cell(f.shell_exit_mm) + "," + Cell(f.crater_end_m) + "," + Cell(f.surface_lowest) +
           "," + Cell(f.reheat_per_m) + "," + std::to_string(missed) + "," + bound + "," + broken +
           "\n";
    csv += row;
    const std::string crater = std::isfinite(f.crater_end_m)
                                   ? "crater end " + Cell(f.crater_end_m) + " m"
                                   : std::string("crater beyond the strand's end");
    std::printf("  %s m/min: %s; %s, %d target(s) missed%s\n", speed, values.c_str(),
                crater.c_str(), missed,
                bound.empty() ? "" : ("; bound: " + bound).c_str());
  }
  WriteWhole("TeporaOut/CoolingTable.csv", "CoolingTable", csv);
}

}  // namespace tepora
