// Heat transfer at the strand's surface outside the mould: natural
// convection of the air and radiation of the oxidised surface, each written
// as a heat transfer coefficient, W/(m^2 K), that multiplies Ts - T_inf.
#pragma once

#include <cmath>
#include <vector>


// Stefan-Boltzmann constant, W/(m^2 K^4).
const double sigma = 5.67e-8;

// Emissivity of the oxidised surface at Ts (degC),
//   eps = 0.85 / exp(42.68 - 0.0268 (Ts + 273.15) + 1)^0.0115;
// the flat element solver truncates the exponent to a whole number.
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
  double T_lo = 0.0;          // temperature of point 0, degC
  double T_inf = 0.0;         // ambient temperature, degC
  std::vector<double> h;      // htc at T_lo + n, W/(m^2 K)

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
