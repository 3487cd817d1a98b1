#include "apps/report_json.h"

#include <cmath>

#include "model/strand_results.h"

namespace tepora {

using nlohmann::json;

json Number(double x) { return std::isfinite(x) ? json(x) : json(nullptr); }

json StrandColumns(Tepora& P, double solidus, double liquidus) {
  json cols = json::object();
  for (const char* key : {"z_m", "surface_min_degC", "surface_mean_degC", "surface_max_degC",
                          "axis_degC", "shell_solidus_mm", "shell_liquidus_mm"})
    cols[key] = json::array();
  for (const StrandRow& row : StrandRows(P, solidus, liquidus)) {
    cols["z_m"].push_back(row.z);
    cols["surface_min_degC"].push_back(row.surf_min);
    cols["surface_mean_degC"].push_back(row.surf_mean);
    cols["surface_max_degC"].push_back(row.surf_max);
    cols["axis_degC"].push_back(row.axis);
    cols["shell_solidus_mm"].push_back(Number(row.shell_sol));
    cols["shell_liquidus_mm"].push_back(Number(row.shell_liq));
  }
  return cols;
}

}  // namespace tepora
