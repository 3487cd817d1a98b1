// The schedule followed step by step and its history.
#include "apps/schedule_run.h"

#include <cmath>
#include <cstdio>

#include "common/whole_file.h"
#include "model/strand_results.h"
#include "optimise/optimise.h"

namespace tepora {

// Columns of History.csv after the surface temperatures' own.
static const char* const kColumns[] = {"time_s",         "speed_m_min",     "casting_degC",
                                       "shell_at_mould_exit_mm", "liquid_pool_end_m",
                                       "crater_end_m",   "mould_heat_kW"};
const size_t kFixed = sizeof kColumns / sizeof kColumns[0];

ScheduledRun::ScheduledRun(Tepora& P, const Schedule& s, const CasterZones& zones,
                           const ControlPoints& CP, double solidus, double liquidus,
                           double interval_s)
    : P_(P), follower_(s, P, ZoneOfSlices(zones.sprays, P.grid)), solidus_(solidus),
      liquidus_(liquidus), crater_fraction_(zones.crater_solid_fraction), interval_(interval_s) {
  const mat& M = CP.CPMat;
  if (M.n_cols < 3) return;
  for (uword n = 0; n < M.n_rows; ++n) {
    const double j = GridIndex(M(n, 1), P.grid.dphi), k = PointSlice(M(n, 2), P.grid.dz(0));
    // A point outside the grid is reported once by the summary; here it is left out.
    if (j >= 0 && j < P.grid.ndphi && k >= 0 && k < P.grid.ndz && M(n, 0) >= 0)
      points_.push_back({uword(j), uword(k), M(n, 0)});
  }
}

void ScheduledRun::Before(StrandModel& m, int p) { follower_.Apply(m, double(p) * m.dtau); }

// A row whenever the casting time passes a whole interval; the small margin
// keeps a step that ends on it by rounding from dropping the row.
void ScheduledRun::After(StrandModel& m, const cube& H, int p) {
  const double before = double(p - 1) * m.dtau / interval_, now = double(p) * m.dtau / interval_;
  if (std::floor(now + 1e-9) <= std::floor(before + 1e-9)) return;
  P_.field.H_final = H;
  Record(double(p) * m.dtau);
}

void ScheduledRun::Record(double t) {
  Tepora& P = P_;
  const std::vector<StrandRow> rows =
      StrandRows(P, solidus_, liquidus_, P.cooling.CrystallizerLength);
  std::vector<double> z, shell;
  for (const StrandRow& r : rows) {
    z.push_back(r.z);
    shell.push_back(r.shell_sol);
  }
  const CastingMoment now = follower_.schedule().At(t);
  std::vector<double> row{t, now.speed * 60, P.T_in,
                          AlongStrand(z, shell, P.cooling.CrystallizerLength),
                          AxisReaches(P, rows, solidus_, liquidus_, 0.0),
                          AxisReaches(P, rows, solidus_, liquidus_, crater_fraction_)};
  // The mould's heat: q = h (Ts - coolant) over every surface cell whose
  // slice lies in the mould, W, reported in kW.
  const mat Ts = P.SurfaceField();
  const double R = P.grid.FaceRadius(P.grid.ndr), dphi = 2 * kPi / P.grid.ndphi;
  double heat = 0.0, zk = 0.0;
  for (int k = 0; k < P.grid.ndz; ++k) {
    if (zk + 0.5 * P.grid.dz(k) < P.cooling.CrystallizerLength)
      for (int j = 0; j < P.grid.ndphi; ++j)
        heat += P.cooling.htc_k * (Ts(j, k) - P.cooling.T_k) * R * dphi * P.grid.dz(k);
    zk += P.grid.dz(k);
  }
  row.push_back(heat / 1000);
  for (const Point& pt : points_)
    row.push_back(PointTemperature(P, P.field.T, pt.r, pt.j, pt.k, Ts(pt.j, pt.k)));
  rows_.push_back(row);
}

void ScheduledRun::WriteHistory() const {
  std::string text;
  for (size_t c = 0; c < kFixed; ++c) text += std::string(c ? "," : "") + kColumns[c];
  for (size_t n = 0; n < points_.size(); ++n) text += ",point" + std::to_string(n + 1) + "_degC";
  text += "\n";
  char cell[40];
  for (const std::vector<double>& row : rows_) {
    for (size_t c = 0; c < row.size(); ++c) {
      std::snprintf(cell, sizeof cell, "%s%.10g", c ? "," : "", row[c]);
      text += cell;
    }
    text += "\n";
  }
  WriteWhole("TeporaOut/History.csv", "History", text);
}

std::vector<std::pair<std::string, double>> ScheduledRun::Extremes() const {
  std::vector<std::pair<std::string, double>> out;
  double latest = -INFINITY, at = NAN;
  for (const std::vector<double>& row : rows_)
    if (!std::isnan(row[5]) && row[5] > latest) {
      latest = row[5];
      at = row[0];
    }
  out.emplace_back("latest_crater_end_m", std::isnan(at) ? NAN : latest);
  out.emplace_back("latest_crater_end_time_s", at);
  for (size_t n = 0; n < points_.size(); ++n) {
    double lowest = INFINITY, when = NAN;
    for (const std::vector<double>& row : rows_)
      if (row[kFixed + n] < lowest) {
        lowest = row[kFixed + n];
        when = row[0];
      }
    const std::string key = "point" + std::to_string(n + 1) + "_lowest";
    out.emplace_back(key + "_degC", std::isfinite(lowest) ? lowest : NAN);
    out.emplace_back(key + "_time_s", when);
  }
  return out;
}

}  // namespace tepora
