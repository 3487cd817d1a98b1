// The cooling of the strand: the caster's zones along it (mould, sprays,
// air), the htcs they give every sector and slice, and the heat transfer
// laws at the surface.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/grid.h"
#include "model/spray_water.h"

namespace tepora {

// The caster's zones where no case file sets them: a mould of 1 m whose
// wall takes 2000 W/(m^2 K) against 80 degC, and an air-cooled end of 5 m.
const double kMouldLength = 1.0;      // m from the inlet
const double kMouldHtc = 2000.0;      // W/(m^2 K)
const double kMouldCoolant = 80.0;    // degC
const double kAirCooledLength = 5.0;  // m before the end of the modelled length

// One spray zone: its htc acts on the slices whose centres lie in [from, to).
struct SprayZone {
  double from_m;  // m from the inlet
  double to_m;    // m from the inlet
  double htc;     // W/(m^2 K), the zone's mean over its surface (from the water flow when given)
  // The plant's water flow of the zone, l/min; NaN when the zone states its htc.
  double water_l_min = std::numeric_limits<double>::quiet_NaN();
  // Length of strand the nozzles wet, m (NaN: the whole zone), and the share
  // of the circumference they wet, 0..1.
  double sprayed_length_m = std::numeric_limits<double>::quiet_NaN();
  double wetted_fraction = 1.0;
  // Surface temperature the zone search aims at in the zone's last slice, degC; NaN: none.
  double target_surface = std::numeric_limits<double>::quiet_NaN();
  // Bounds of the value the zone search may give, in the zone's own unit (htc W/(m^2 K), or
  // water l/min when the zone states a flow); NaN: not stated.
  double low = std::numeric_limits<double>::quiet_NaN();
  double high = std::numeric_limits<double>::quiet_NaN();

  bool ByWater() const { return !std::isnan(water_l_min); }
  // The zone's value in its own unit: the water flow, else the htc.
  double Value() const { return ByWater() ? water_l_min : htc; }
};

// What the strand must keep whatever the targets ask; NaN: not stated.
struct StrandLimits {
  double surface_min = std::numeric_limits<double>::quiet_NaN();  // degC, below the mould
  double surface_max = std::numeric_limits<double>::quiet_NaN();  // degC, below the mould
  double reheat_max = std::numeric_limits<double>::quiet_NaN();   // K/m, rise over 1 m
  double crater_end_max = std::numeric_limits<double>::quiet_NaN();  // m from the meniscus
  bool Any() const {
    return !std::isnan(surface_min) || !std::isnan(surface_max) || !std::isnan(reheat_max) ||
           !std::isnan(crater_end_max);
  }
};

struct CasterZones {
  double mould_length = kMouldLength;  // m from the inlet
  double mould_htc = kMouldHtc;        // W/(m^2 K), against the coolant
  double coolant = kMouldCoolant;      // degC
  std::vector<SprayZone> sprays;       // in order along the strand
  // Start of the air cooling, m from the inlet; NaN: kAirCooledLength
  // before the end of the modelled length.
  double air_from = std::numeric_limits<double>::quiet_NaN();
  // Solidus and liquidus of the steel, degC; NaN when not stated.
  double solidus = std::numeric_limits<double>::quiet_NaN();
  double liquidus = std::numeric_limits<double>::quiet_NaN();
  // The steel's chemistry in mass % as [steel] composition states it, which
  // then gave solidus and liquidus; empty when the range was stated.
  std::string composition;
  // Solid fraction of the steel on the axis at which the crater ends, 0..1
  // (1: the axis wholly solid; plants that place soft reduction by a solid
  // fraction state theirs, such as 0.7 or 0.9).
  double crater_solid_fraction = 1.0;
  SprayWater water;           // how a zone's water flow gives its htc ([sprays])
  bool water_stated = false;  // the file has a [sprays] table
  StrandLimits limits;        // [limits]
};

// Heat transfer at the strand's surface outside the mould: natural
// convection of the air and radiation of the oxidised surface, each written
// as a heat transfer coefficient, W/(m^2 K), that multiplies Ts - T_inf.
// Stefan-Boltzmann constant, W/(m^2 K^4).
const double sigma = 5.67e-8;

// Emissivity of the oxidised surface at Ts (degC),
//   eps = 0.85 / exp(42.68 - 0.0268 (Ts + 273.15) + 1)^0.0115;
// the flat step of a piece of strand truncates the exponent to a whole number.
inline double Emissivity(double Ts, bool whole) {
  if (whole) {
    const int n = int(42.68 - 0.0268 * (Ts + 273.15));
    return 0.85 / std::pow(std::exp(n + 1), 0.0115);
  }
  const double c = 42.68 - (Ts + 273.15) * 0.0268;
  return 0.85 / std::pow(std::exp(c + 1), 0.0115);
}

// Radiation: eps sigma (Tk^2 + Ta^2)(Tk + Ta) in kelvin.
inline double RadiationHtc(double Ts, double T_inf, bool whole) {
  const double Tk = Ts + 273.15, Ta = T_inf + 273.15;
  return (Emissivity(Ts, whole) * sigma) * (Tk * Tk + Ta * Ta) * (Tk + Ta);
}

// Natural convection: 0.84 (Ts - T_inf)^(1/3).
inline double NaturalConvectionHtc(double Ts, double T_inf) {
  return std::pow(Ts - T_inf, 1.0 / 3) * 0.84;
}

// Natural convection plus radiation tabulated per kelvin from the ambient
// temperature up, and read between the points on straight lines: the
// surface temperature of the cylindrical step is not a whole degree, and
// two transcendental functions per surface cell and step would cost more
// than the rest of the step. Both laws are smooth; the straight lines stay
// within about 1e-5 of them above T_inf + 10 K. The laws themselves are
// used where the table ends, with the convection's |Ts - T_inf|.
struct AirHtcTable {
  double T_lo = 0.0;      // temperature of point 0, degC
  double T_inf = 0.0;     // ambient temperature, degC
  std::vector<double> h;  // htc at T_lo + n, W/(m^2 K)

  void Build(double ambient, double highest) {
    T_inf = ambient;
    T_lo = std::floor(ambient);
    const int n = int(std::ceil(highest - T_lo)) + 2;
    h.resize(n > 2 ? n : 2);
    for (size_t p = 0; p < h.size(); ++p) h[p] = Exact(T_lo + double(p));
  }
  double Exact(double Ts) const {
    return std::cbrt(std::fabs(Ts - T_inf)) * 0.84 + RadiationHtc(Ts, T_inf, false);
  }
  double operator()(double Ts) const {
    const double x = Ts - T_lo;
    if (!(x >= 0.0 && x < double(h.size() - 1))) return Exact(Ts);
    const size_t p = size_t(x);
    return h[p] + (x - double(p)) * (h[p + 1] - h[p]);
  }
};

// Heat flux out through the surface, W/m^2, and the surface temperature,
// degC, of a surface cell at Tc whose centre lies `hw` (half the ring's
// width) inside the surface, through steel of resistivity rho = 1/lambda:
//   q = h (Ts - Tref),   Ts = Tc - q hw rho   =>   q = h (Tc - Tref) / (1 + h hw rho).
// In the mould h is the mould's htc against the coolant; elsewhere it is
// the fixed spray htc plus natural convection and radiation against the
// ambient, taken at the surface temperature that the cell's own temperature
// gives, corrected once.
struct SurfaceLaw {
  bool mould;
  double h_fixed;  // mould htc, or spray htc (0 in the air-cooled zone)
  double T_ref;    // coolant or ambient temperature, degC
};

inline void SurfaceFlux(const SurfaceLaw& law, const AirHtcTable& air, double Tc, double hw,
                        double rho, double& q, double& Ts) {
  const double r = hw * rho;
  if (law.mould) {
    q = law.h_fixed * (Tc - law.T_ref) / (1.0 + law.h_fixed * r);
  } else {
    const double h0 = law.h_fixed + air(Tc);
    const double q0 = h0 * (Tc - law.T_ref) / (1.0 + h0 * r);
    const double h1 = law.h_fixed + air(Tc - q0 * r);
    q = h1 * (Tc - law.T_ref) / (1.0 + h1 * r);
  }
  Ts = Tc - q * r;
}

// The slices, of lengths dz (m), that an air-cooled end zone of air_length
// (m) holds: those whose centre lies at or beyond its start. 1 marks such a
// slice. The cylindrical step cools by this rule, and the optimiser places
// each piece's air cooling by the whole strand's.
std::vector<char> AirCooledSlices(const vec& dz, double air_length);

// The cooling a strand sees on a grid.
struct Cooling {
  mat CoolM;  // spray htc per angular sector (rows) and slice (columns), W/(m^2 K)
  double CrystallizerLength = kMouldLength;  // mould length from the inlet, m
  double htc_k = kMouldHtc;                  // mould htc, W/(m^2 K)
  double T_k = kMouldCoolant;                // temperature the mould flux refers to, degC
  double TertiaryLength = kAirCooledLength;  // length of the air-cooled zone at the end, m
  double T_inf = 0;                          // ambient temperature, degC

  // One spray htc (W/(m^2 K)) on every sector and slice of a grid; the
  // second form gives slices 0 .. n_z htcl instead.
  void SetCoolM(const Grid& g, double htc);
  void SetCoolM(const Grid& g, double htc0, double htcl, int n_z);
  // The caster's zones: the mould, the spray zones (every slice whose centre
  // lies in a zone takes its htc in every sector) and the start of the air
  // cooling. Returns the number of slices each spray zone covers.
  std::vector<int> SetZones(const CasterZones& zones, const Grid& g);
};

// The spray zone (index into `sprays`) whose [from, to) holds each slice's
// centre, -1 for none; a later zone wins where zones overlap.
std::vector<int> ZoneOfSlices(const std::vector<SprayZone>& sprays, const Grid& g);

}  // namespace tepora
