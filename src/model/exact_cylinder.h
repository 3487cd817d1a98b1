// Cooling of an infinitely long round bar of constant properties through its
// surface, with a constant heat transfer coefficient against a fixed
// temperature: the series solution, and the thermal model run on the same
// problem so that the two can be compared (the verification program and the
// tests share both).
//
// With theta = T - T_c, x = r / R, Bi = h R / lambda and Fo = a t / R^2,
//   theta / theta_0 = sum_n 2 Bi J0(l_n x) / ((l_n^2 + Bi^2) J0(l_n)) exp(-l_n^2 Fo),
// where l_n are the positive roots of l J1(l) = Bi J0(l).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "model/cylinder_step.h"
#include "model/tepora.h"

namespace tepora {

class ExactCylinder {
 public:
  // 80 terms: the last root is near 249, so its exponential is below 1e-260
  // from Fo = 0.01 on, and the series is converged to rounding there.
  explicit ExactCylinder(double Bi, int terms = 80) : Bi_(Bi) {
    // f = l J1(l) - Bi J0(l) has no poles, and its roots lie about pi
    // apart (one between every zero of J1 and the next zero of J0), so a
    // scan in steps of 0.05 meets each sign change once; bisection to the
    // last bit then.
    const auto f = [&](double l) { return l * J1(l) - Bi * J0(l); };
    double a = 0.0, fa = f(a);
    while (int(roots_.size()) < terms) {
      const double b = a + 0.05, fb = f(b);
      if ((fa < 0) != (fb < 0)) {
        double lo = a, hi = b;
        for (int it = 0; it < 200 && hi - lo > 0; ++it) {
          const double mid = 0.5 * (lo + hi);
          if (mid <= lo || mid >= hi) break;
          ((f(mid) < 0) == (fa < 0) ? lo : hi) = mid;
        }
        roots_.push_back(0.5 * (lo + hi));
      }
      a = b;
      fa = fb;
    }
  }

  // theta / theta_0 at r = x R.
  double Theta(double x, double Fo) const {
    double s = 0.0;
    for (double l : roots_) s += Coefficient(l) * J0(l * x) * std::exp(-l * l * Fo);
    return s;
  }

  // Mean of theta / theta_0 over the ring x0 R .. x1 R (weighted by area,
  // as a finite-volume cell holds it): the integral of J0(l x) x is x J1(l x) / l.
  double RingMean(double x0, double x1, double Fo) const {
    double s = 0.0;
    for (double l : roots_)
      s += Coefficient(l) * (x1 * J1(l * x1) - x0 * J1(l * x0)) / l * std::exp(-l * l * Fo);
    return 2.0 * s / (x1 * x1 - x0 * x0);
  }

  const std::vector<double>& Roots() const { return roots_; }

 private:
  static double J0(double x) { return std::cyl_bessel_j(0.0, x); }
  static double J1(double x) { return std::cyl_bessel_j(1.0, x); }
  double Coefficient(double l) const { return 2.0 * Bi_ / ((l * l + Bi_ * Bi_) * J0(l)); }

  double Bi_;
  std::vector<double> roots_;
};

// The test problem: a bar of R = 0.1 m with steel-like constant properties
// (diffusivity 6e-6 m^2/s) from 1000 degC into a coolant at 100 degC with
// Bi = 5 (h = 1500 W/(m^2 K), a mould's order), so that the surface
// temperature lies well away from both the coolant's and the centre's.
struct CoolingCylinder {
  double R = 0.1;         // m
  double lambda = 30.0;   // W/(m K)
  double c = 5e6;         // J/(m^3 K)
  double Bi = 5.0;
  double T0 = 1000.0;     // start, degC
  double Tc = 100.0;      // coolant, degC

  double Htc() const { return Bi * lambda / R; }
  double Time(double Fo) const { return Fo * R * R * c / lambda; }
  double Exact(double theta) const { return Tc + (T0 - Tc) * theta; }

  // Enthalpy linear in temperature (kJ/m^3) and one conductivity, from the
  // 25 degC point the table needs to beyond the start temperature.
  std::string Table() const {
    std::ostringstream os;
    os.precision(17);
    for (double T : {25.0, 1100.0}) os << T << "," << c * T / 1000 << "," << lambda << "\n";
    return os.str();
  }
};

// The model run on the cooling bar against the series.
struct CoolingRun {
  int steps = 0;
  double dtau = 0.0;               // s
  std::vector<double> face;        // the rings' inner face radii and the surface, m
  std::vector<double> ring;        // mean temperature of every ring, degC (sector 1, slice 1)
  std::vector<double> ring_exact;  // its exact mean over the ring
  double surface = 0.0;            // temperature of the outer face, degC
  double surface_exact = 0.0;
  // Model minus exact, K: the disc on the axis against its exact mean, and
  // the surface.
  double CentreError() const { return ring[0] - ring_exact[0]; }
  double SurfaceError() const { return surface - surface_exact; }
};

// Standard output and error sent to /dev/null while it lives: the run's
// progress lines and its attempt to start the plotting program.
class Silenced {
 public:
  Silenced() {
    std::cout.flush();
    std::fflush(nullptr);
    out_ = dup(1);
    err_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  ~Silenced() {
    std::cout.flush();
    std::fflush(nullptr);
    dup2(out_, 1);
    dup2(err_, 2);
    close(out_);
    close(err_);
  }

 private:
  int out_, err_;
};

// Runs the model on `rings` rings of the bar, with 3 sectors and 3 slices,
// no casting speed and the mould law over the whole length: every slice is
// the same radial problem. The time step is `fraction` of the model's own
// stability estimate, shortened so that a whole number of steps ends at Fo.
// The working directory must hold Input/ and TeporaOut/.
inline CoolingRun RunCoolingCylinder(const CoolingCylinder& bar, const ExactCylinder& exact,
                                     int rings, double Fo, double fraction) {
  {
    std::ofstream("Input/Interp.csv") << bar.Table();
  }
  Tepora P(bar.R / rings, 1.0, 2 * kPi / 3, bar.R, 3.0, 0.0, bar.T0, "Input/Interp.csv", 0.0,
           bar.Tc, 1.0, 0.0);
  if (P.grid.ndr != rings || P.grid.ndphi != 3 || P.grid.ndz != 3)
    throw std::logic_error("the cooling bar's grid is not " + std::to_string(rings) + " x 3 x 3");
  P.model = Formulation::Cylindrical;
  P.cooling.CrystallizerLength = 1e3;
  P.cooling.TertiaryLength = 0.0;
  P.cooling.htc_k = bar.Htc();
  P.cooling.T_k = bar.Tc;
  P.vz = 0.0;
  CoolingRun run;
  const double t = bar.Time(Fo);
  run.steps = int(std::ceil(t / (fraction * P.StableStepEstimate(0.0))));
  run.dtau = P.dtau = t / run.steps;
  P.field.T.fill(bar.T0);
  {
    Silenced quiet;
    P.Compute(run.steps, 'n');
  }
  for (int i = 0; i <= rings; ++i) run.face.push_back(P.grid.FaceRadius(i));
  for (int i = 0; i < rings; ++i) {
    run.ring.push_back(P.field.T(i, 1, 1));
    run.ring_exact.push_back(
        bar.Exact(exact.RingMean(run.face[i] / bar.R, run.face[i + 1] / bar.R, Fo)));
  }
  run.surface = P.SurfaceTemperature(1, 1);
  run.surface_exact = bar.Exact(exact.Theta(P.grid.FaceRadius(rings) / bar.R, Fo));
  return run;
}

// A temperature that varies around the bar: constant properties, the
// surface held at T0 (an htc of 1e8 W/(m^2 K) against a coolant at T0), and
// the first mode of cos(phi),
//   T = T0 + A J1(k r) cos(phi) exp(-a k^2 t),  k = j11 / R,
// with j11 the first zero of J1, so that the mode is T0 at the surface and
// decays alone: an exact solution whose heat flows around the rings as much
// as along the radius, which the cooling bar (the same in every sector)
// cannot test.
struct AngularMode {
  static constexpr double kJ11 = 3.8317059702075125;  // first positive zero of J1
  double R = 0.1;        // m
  double lambda = 30.0;  // W/(m K)
  double c = 5e6;        // J/(m^3 K)
  double T0 = 1000.0;    // surface and mean temperature, degC
  double A = 100.0;      // amplitude of the mode at the start, K

  double k() const { return kJ11 / R; }
  // Time at which the mode has decayed to exp(-decay) of its start, s.
  double Time(double decay) const { return decay * c / (lambda * k() * k()); }
  double Exact(double r, double phi, double t) const {
    return T0 + A * std::cyl_bessel_j(1.0, k() * r) * std::cos(phi) *
                    std::exp(-lambda / c * k() * k() * t);
  }
  // The same conductivity and enthalpy linear in temperature (kJ/m^3) from
  // the 25 degC point the table needs to beyond T0 + A.
  std::string Table() const {
    std::ostringstream os;
    os.precision(17);
    for (double T : {25.0, T0 + 2 * A}) os << T << "," << c * T / 1000 << "," << lambda << "\n";
    return os.str();
  }
};

// The model run on the angular mode against the exact field.
struct AngularRun {
  int rings = 0, sectors = 0, steps = 0;
  int implicit = 0;   // rings whose angular conduction the step took implicitly
  double dtau = 0.0;  // s
  double error = 0.0;      // largest |model - exact| over the cells of slice 1, K
  int worst_ring = 0;      // the ring where it lies
  double rms = 0.0;        // root mean square of model - exact over the cross-section, K
  double amplitude = 0.0;  // A exp(-a k^2 t) at the end, K
  double Relative() const { return error / amplitude; }
};

// Runs the model on `rings` rings and 2 `rings` sectors of the bar (dr and
// the arcs refined together), 3 slices, no casting speed, to the time at
// which the mode has decayed to exp(-decay), with time steps of `fraction`
// of the stability estimate shortened so that a whole number ends there.
// The start field is the exact one at the cell centres. The working
// directory must hold Input/ and TeporaOut/.
inline AngularRun RunAngularMode(const AngularMode& bar, int rings, double decay,
                                 double fraction) {
  {
    std::ofstream("Input/Interp.csv") << bar.Table();
  }
  const int sectors = 2 * rings;
  Tepora P(bar.R / rings, 1.0, 2 * kPi / sectors, bar.R, 3.0, 0.0, bar.T0, "Input/Interp.csv",
           0.0, bar.T0, 1.0, 0.0);
  if (P.grid.ndr != rings || P.grid.ndphi != sectors || P.grid.ndz != 3)
    throw std::logic_error("the angular mode's grid is not " + std::to_string(rings) + " x " +
                           std::to_string(sectors) + " x 3");
  P.model = Formulation::Cylindrical;
  P.cooling.CrystallizerLength = 1e3;
  P.cooling.TertiaryLength = 0.0;
  P.cooling.htc_k = 1e8;
  P.cooling.T_k = bar.T0;
  P.vz = 0.0;
  AngularRun run;
  run.rings = rings;
  run.sectors = sectors;
  const double t = bar.Time(decay), dphi = 2 * kPi / sectors;
  run.steps = int(std::ceil(t / (fraction * P.StableStepEstimate(0.0))));
  run.dtau = P.dtau = t / run.steps;
  run.implicit = int(CylinderStep(P, StepRule()).implicit_rings.size());
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < sectors; ++j)
      for (int i = 0; i < rings; ++i)
        P.field.T(i, j, k) = bar.Exact(P.grid.CentreRadius(i), (j + 0.5) * dphi, 0.0);
  {
    Silenced quiet;
    P.Compute(run.steps, 'n');
  }
  // The disc on the axis holds the mean over its area, where the mode's
  // cos(phi) averages to nothing: T0.
  double squares = 0.0;
  for (int j = 0; j < sectors; ++j)
    for (int i = 0; i < rings; ++i) {
      const double exact = i == 0 ? bar.T0 : bar.Exact(P.grid.CentreRadius(i), (j + 0.5) * dphi, t);
      const double e = std::fabs(P.field.T(i, j, 1) - exact);
      if (e > run.error) {
        run.error = e;
        run.worst_ring = i;
      }
      squares += e * e * (P.grid.CentreRadius(i) * P.grid.dr(i) * dphi);
    }
  run.rms = std::sqrt(squares / (kPi * bar.R * bar.R));
  run.amplitude = bar.A * std::exp(-decay);
  return run;
}

}  // namespace tepora
