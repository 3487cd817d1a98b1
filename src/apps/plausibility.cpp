#include "plausibility.h"

#include <algorithm>
#include <iostream>

#include "strand_results.h"

namespace {

void Warn(const std::string& line) {
  std::cout.flush();
  std::cerr << "warning: " << line << std::endl;
}

// Volumetric heat capacity of steel, kJ/(m^3 K): about 3500 to 5500 in the
// solid, far more while it solidifies; a table's median a tenfold off
// either way is in other units.
const double kSteelHeatCapacity[2] = {400, 40000};

}  // namespace

void WarnImplausible(const vec& Techset, const SettingsFile& tech, const Tepora& P,
                     const char* table, const ControlPoints& CP, const CasterZones& zones,
                     bool searches) {
  for (uword line : {4u, 6u})
    if (line < Techset.n_elem && Techset(line) != 0 &&
        (Techset(line) < 0.1 || Techset(line) > 10))
      Warn(tech.Entry(line) + " is " + ValueText(Techset(line)) +
           " m/min, outside the 0.1 to 10 m/min of continuous casters (m/s instead of m/min?)");
  if (Techset(2) > 100)
    Warn(tech.Entry(2) + " is " + ValueText(Techset(2)) +
         " degC, hotter than any caster hall (kelvin instead of degC?)");

  // The table as read: temperature degC, enthalpy kJ/m^3.
  const mat& M = P.ConstM0;
  std::vector<double> c;
  for (uword r = 0; r + 1 < M.n_rows; ++r)
    if (M(r + 1, 0) > M(r, 0)) c.push_back((M(r + 1, 1) - M(r, 1)) / (M(r + 1, 0) - M(r, 0)));
  if (!c.empty()) {
    std::nth_element(c.begin(), c.begin() + c.size() / 2, c.end());
    const double median = c[c.size() / 2];
    if (median > kSteelHeatCapacity[1])
      Warn(std::string(table) + ": the enthalpy rises by " + ValueText(median) +
           " a kelvin (median), a thousand times steel's 3500 to 5500 kJ/(m^3 K) (J/m^3 "
           "instead of kJ/m^3?)");
    else if (median < kSteelHeatCapacity[0])
      Warn(std::string(table) + ": the enthalpy rises by " + ValueText(median) +
           " a kelvin (median), far below steel's 3500 to 5500 kJ/(m^3 K) (kJ/kg or MJ/m^3 "
           "instead of kJ/m^3?)");
  }
  double sol = 0, liq = 0;
  if (EstimateSolidusLiquidus(P.ConstM, sol, liq) && sol > 1650)
    Warn(std::string(table) + ": its latent heat lies between " + ValueText(sol) + " and " +
         ValueText(liq) + ", above the melting range of any steel (kelvin instead of degC?)");

  const mat& Q = CP.CPMat;
  if (Q.n_rows == 0 || Q.n_cols < 4) return;
  const double air = P.L - P.TertiaryLength;
  for (uword p = 0; p < Q.n_rows; ++p) {
    const std::string point = "Input/ControlPoints.mat: point " + std::to_string(p + 1);
    if (!(Q(p, 3) > P.T_inf && Q(p, 3) < P.T_in))
      Warn(point + " has the target " + ValueText(Q(p, 3)) + " degC, outside the range from " +
           "the ambient " + ValueText(P.T_inf) + " to the casting temperature " +
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
