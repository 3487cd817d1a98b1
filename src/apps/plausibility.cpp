#include "apps/plausibility.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "model/strand_results.h"

namespace tepora {

namespace {

void Warn(const std::string& line) {
  std::cout.flush();
  std::cerr << "warning: " << line << std::endl;
}

// Volumetric heat capacity of steel, kJ/(m^3 K): about 3500 to 5500 in the
// solid, far more while it solidifies; a table's median a tenfold off
// either way is in other units.
const double kSteelHeatCapacity[2] = {400, 40000};

// Natural convection alone takes 5 to 10 W/(m^2 K) from a hot strand, a
// mould 500 to 2000 and sprays 50 to 2000: a positive htc below this is more
// likely in kW/(m^2 K). Zero (a zone switched off) and any high htc can be
// meant.
const double kLowestHtc = 10;  // W/(m^2 K)

// Mould cooling water runs at 20 to 50 degC and boils at 100.
const double kHottestCoolant = 100;  // degC

void WarnLowHtc(const std::string& entry, double htc) {
  if (htc > 0 && htc < kLowestHtc)
    Warn(entry + " is " + ValueText(htc) + " W/(m^2 K), below the 5 to 10 of natural convection " +
         "alone (kW/(m^2 K) instead of W/(m^2 K)?)");
}

// The widest gap between neighbouring points of the table as read around
// `T` (degC): a latent-heat range estimated from the table is no finer.
double PointSpacingAt(const mat& M0, double T) {
  std::vector<double> t(M0.n_rows);
  for (uword r = 0; r < M0.n_rows; ++r) t[r] = M0(r, 0);
  std::sort(t.begin(), t.end());
  double gap = 1;  // the refined table's whole degree
  for (size_t n = 0; n + 1 < t.size(); ++n)
    if (t[n] <= T + 0.5 && t[n + 1] >= T - 0.5) gap = std::max(gap, t[n + 1] - t[n]);
  return gap;
}

// How far the melting range of a [steel] composition may lie from the
// table's latent heat, K: the script's tables hold rows at the formulas'
// solidus and liquidus, which the whole-degree table keeps to a kelvin, so
// a larger gap is a table of another chemistry.
const double kCompositionTolerance = 5.0;

std::string Fixed1(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", x);
  return text;
}

// The casting temperature against the liquidus, and a stated melting range
// against the one the table's latent heat shows: the model solidifies the
// steel where the table releases its latent heat, the shell and crater end
// are read at the stated temperatures.
void WarnMeltingRange(const vec& Techset, const SettingsFile& tech, const Tepora& P,
                      const char* table, const char* caster, const CasterZones& zones) {
  double sol = 0, liq = 0;
  const bool from_table = EstimateSolidusLiquidus(P.material.ConstM, sol, liq);
  const bool stated = !std::isnan(zones.solidus) && !std::isnan(zones.liquidus);
  const bool chemistry = !zones.composition.empty();
  if (chemistry && from_table &&
      (std::fabs(zones.solidus - sol) > kCompositionTolerance ||
       std::fabs(zones.liquidus - liq) > kCompositionTolerance))
    Warn(std::string(caster) + ": [steel] composition \"" + zones.composition +
         "\" melts between " + Fixed1(zones.solidus) + " and " + Fixed1(zones.liquidus) +
         " degC by the solidus and liquidus formulas, but " + table +
         " releases its latent heat between " + ValueText(sol) + " and " + ValueText(liq) +
         " degC, more than " + ValueText(kCompositionTolerance) + " K apart; the shell and "
         "crater end are read at the composition's temperatures, the steel solidifies at the "
         "table's (a table of another steel? scripts/make_steel_table.py --composition makes "
         "this one's)");
  else if (stated && !chemistry && from_table &&
      (std::fabs(zones.solidus - sol) > PointSpacingAt(P.material.ConstM0, sol) ||
       std::fabs(zones.liquidus - liq) > PointSpacingAt(P.material.ConstM0, liq)))
    Warn(std::string(caster) + ": [steel] states solidus_degC " + ValueText(zones.solidus) +
         " and liquidus_degC " + ValueText(zones.liquidus) + ", but " + table +
         " releases its latent heat between " + ValueText(sol) + " and " + ValueText(liq) +
         " degC; the shell and crater end are read at the stated temperatures, the steel "
         "solidifies at the table's (a table of another steel?)");
  if (!stated && !from_table) return;
  const double liquidus = stated ? zones.liquidus : liq;
  if (Techset(3) < liquidus)
    Warn(tech.Entry(3) + " is " + ValueText(Techset(3)) + " degC, below the liquidus of " +
         ValueText(liquidus) + " degC (" +
         (stated ? std::string(caster) + " [steel]" : table + std::string("'s latent heat")) +
         "): the steel enters the mould partly solid (the temperature of another steel?)");
}

}  // namespace

void WarnImplausible(const vec& Techset, const SettingsFile& tech, const Tepora& P,
                     const char* table, const char* caster, const ControlPoints& CP,
                     const CasterZones& zones, bool searches) {
  for (uword line : {4u, 6u})
    if (line < Techset.n_elem && Techset(line) != 0 &&
        (Techset(line) < 0.1 || Techset(line) > 10))
      Warn(tech.Entry(line) + " is " + ValueText(Techset(line)) +
           " m/min, outside the 0.1 to 10 m/min of continuous casters (m/s instead of m/min?)");
  if (Techset(2) > 100)
    Warn(tech.Entry(2) + " is " + ValueText(Techset(2)) +
         " degC, hotter than any caster hall (kelvin instead of degC?)");

  // The table as read: temperature degC, enthalpy kJ/m^3.
  const mat& M = P.material.ConstM0;
  std::vector<double> c;
  for (uword r = 0; r + 1 < M.n_rows; ++r)
    if (M(r + 1, 0) > M(r, 0)) c.push_back((M(r + 1, 1) - M(r, 1)) / (M(r + 1, 0) - M(r, 0)));
  if (!c.empty()) {
    std::nth_element(c.begin(), c.begin() + c.size() / 2, c.end());
    const double median = c[c.size() / 2];
    if (median > kSteelHeatCapacity[1])
      Warn(std::string(table) + ": the enthalpy rises by " + ValueText(median) +
           " a kelvin (median), over ten times steel's 3500 to 5500 kJ/(m^3 K) (J/m^3 "
           "instead of kJ/m^3?)");
    else if (median < kSteelHeatCapacity[0])
      Warn(std::string(table) + ": the enthalpy rises by " + ValueText(median) +
           " a kelvin (median), far below steel's 3500 to 5500 kJ/(m^3 K) (kJ/kg or MJ/m^3 "
           "instead of kJ/m^3?)");
  }
  double sol = 0, liq = 0;
  if (EstimateSolidusLiquidus(P.material.ConstM, sol, liq) && sol > 1650)
    Warn(std::string(table) + ": its latent heat lies between " + ValueText(sol) + " and " +
         ValueText(liq) + ", above the melting range of any steel (kelvin instead of degC?)");
  WarnMeltingRange(Techset, tech, P, table, caster, zones);

  // Htcs and the coolant; the defaults of a missing key never warn.
  WarnLowHtc(tech.Entry(5), Techset(5));
  const std::string file(caster);
  WarnLowHtc(file + ": mould.htc_W_m2K", zones.mould_htc);
  if (zones.coolant > kHottestCoolant)
    Warn(file + ": mould.coolant_degC is " + ValueText(zones.coolant) + " degC, above the " +
         ValueText(kHottestCoolant) + " degC at which the mould's cooling water boils (kelvin " +
         "instead of degC?)");
  for (size_t n = 0; n < zones.sprays.size() && !searches; ++n)  // the optimiser's own htcs
    if (!zones.sprays[n].ByWater())  // a flow's htc follows the correlation
      WarnLowHtc(file + ": spray[" + std::to_string(n + 1) + "].htc_W_m2K", zones.sprays[n].htc);

  const mat& Q = CP.CPMat;
  if (Q.n_rows == 0 || Q.n_cols < 4) return;
  const double air = P.grid.L - P.cooling.TertiaryLength;
  for (uword p = 0; p < Q.n_rows; ++p) {
    const std::string point = "Input/ControlPoints.mat: point " + std::to_string(p + 1);
    if (!(Q(p, 3) > P.cooling.T_inf && Q(p, 3) < P.T_in))
      Warn(point + " has the target " + ValueText(Q(p, 3)) + " degC, outside the range from " +
           "the ambient " + ValueText(P.cooling.T_inf) + " to the casting temperature " +
           ValueText(P.T_in) + " degC that the strand can reach");
    if (!searches) continue;
    if (Q(p, 2) <= zones.mould_length)
      Warn(point + " lies in the mould (z = " + ValueText(Q(p, 2)) + " m, mould " +
           ValueText(zones.mould_length) + " m), where the sprays do not act");
    else if (Q(p, 2) > air)
      Warn(point + " lies in the air cooling (z = " + ValueText(Q(p, 2)) + " m, from " +
           ValueText(air) + " m), where the sprays do not act");
  }
}

}  // namespace tepora
