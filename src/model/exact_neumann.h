// Freezing of a half-space of melt whose surface is held below the melting
// temperature: the two-phase similarity solution, and the thermal model run
// on a strand of large radius so that the two can be compared (the
// verification program and the tests share both).
//
// Melt at T0 fills x > 0 at t = 0, when the surface x = 0 is brought to
// Ts < Tm; the solid 0 < x < s(t) and the melt x > s(t) each have constant
// conductivity lambda, volumetric heat capacity c and diffusivity a = lambda / c,
// and the latent heat L (J/m^3) is released at Tm, where the front lies:
//   solid:  T = Ts + (Tm - Ts) erf(x / (2 sqrt(a_s t))) / erf(k),
//   melt:   T = T0 - (T0 - Tm) erfc(x / (2 sqrt(a_l t))) / erfc(k nu),   nu = sqrt(a_s / a_l),
//   front:  s(t) = 2 k sqrt(a_s t).
// At the front the solid conducts away what the melt brings plus the latent
// heat of the advancing front, lambda_s dT_s/dx - lambda_l dT_l/dx = L ds/dt,
// which with the profiles above is the equation for k:
//   lambda_s (Tm - Ts) exp(-k^2) / (erf(k) sqrt(pi a_s))
//     - lambda_l (T0 - Tm) exp(-k^2 nu^2) / (erfc(k nu) sqrt(pi a_l)) = L k sqrt(a_s).
#pragma once

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/front.h"
#include "model/tepora.h"

namespace tepora {

struct NeumannProperties {
  double lambda_s = 30.0;  // conductivity of the solid, W/(m K)
  double lambda_l = 30.0;  // of the melt, W/(m K)
  double c_s = 5e6;        // volumetric heat capacity of the solid, J/(m^3 K)
  double c_l = 5e6;        // of the melt, J/(m^3 K)
  double L = 2e9;          // latent heat, J/m^3 (about 270 kJ/kg of steel)
  double T0 = 1550.0;      // melt at the start, degC
  double Tm = 1500.0;      // melting temperature, degC
  double Ts = 1000.0;      // surface, degC
};

class ExactNeumann {
 public:
  explicit ExactNeumann(const NeumannProperties& p)
      : p_(p), a_s_(p.lambda_s / p.c_s), a_l_(p.lambda_l / p.c_l), nu_(std::sqrt(a_s_ / a_l_)) {
    // The solid's term falls from +infinity at k = 0, the melt's grows and
    // the latent heat's grows: one root, bracketed by doubling, then
    // bisection until the bracket cannot shrink.
    double lo = 0.0, hi = 1.0;
    while (Balance(hi) > 0) hi *= 2;
    for (int it = 0; it < 2000; ++it) {
      const double mid = 0.5 * (lo + hi);
      if (mid <= lo || mid >= hi) break;
      (Balance(mid) > 0 ? lo : hi) = mid;
    }
    k_ = 0.5 * (lo + hi);
  }

  // The solid's heat flow at the front less the melt's less the latent
  // heat's, times sqrt(t), W s^0.5 / m^2: zero at the root k.
  double Balance(double k) const {
    const double pi = 3.14159265358979323846;
    return p_.lambda_s * (p_.Tm - p_.Ts) * std::exp(-k * k) / (std::erf(k) * std::sqrt(pi * a_s_)) -
           p_.lambda_l * (p_.T0 - p_.Tm) * std::exp(-k * k * nu_ * nu_) /
               (std::erfc(k * nu_) * std::sqrt(pi * a_l_)) -
           p_.L * k * std::sqrt(a_s_);
  }

  double K() const { return k_; }
  // Depth of the front at t (s), m.
  double Front(double t) const { return 2.0 * k_ * std::sqrt(a_s_ * t); }
  // Temperature at depth x (m) and time t (s), degC.
  double T(double x, double t) const {
    if (x <= Front(t))
      return p_.Ts + (p_.Tm - p_.Ts) * std::erf(x / (2.0 * std::sqrt(a_s_ * t))) / std::erf(k_);
    return p_.T0 - (p_.T0 - p_.Tm) * std::erfc(x / (2.0 * std::sqrt(a_l_ * t))) /
                       std::erfc(k_ * nu_);
  }

 private:
  NeumannProperties p_;
  double a_s_, a_l_, nu_;
  double k_ = 0.0;
};

// The test problem on the model's grid: a strand of R = 20 m, so that the
// front, some 24 mm deep after 60 s, sees a flat surface. Converging heat
// flow in a cylinder speeds the front by about s / (4R) of itself (the
// conduction path through a shell of depth s is R ln(R / (R - s)) ~ s (1 - s / (2R))
// at the front, the front's rate goes with its square root): 0.03 % at 60 s
// (a strand of 40 m moves the front by 0.013 %, half of it), well under the
// errors the comparison is after. The outer 0.25 m is cut
// into the rings whose width is studied; the heat has reached about 0.04 m
// into the melt after 60 s (erfc(0.25 / (2 sqrt(a_l t))) < 1e-5), so the
// core is covered by a few rings of a metre that stay at T0. The latent heat
// is released between 1499.5 and 1500.5 degC, the narrowest range the
// table's whole-degree rows hold (its two points on neighbouring rows): the
// solid's gradient at the front, about 25 K/mm, crosses it within 0.04 mm.
// With the melt conducting four times as well, the conductivity rising
// through that range puts the front ahead by about 0.1 % (0.2 % for a
// range of 2 K), what remains on the finest rings. The mould law with an htc
// of 1e8 W/(m^2 K) against Ts holds the surface within 0.06 K of it after
// the first second and within 0.01 K from 30 s on (the exact surface flux is
// 5.7e6 W/m^2 at 1 s and falls with 1 / sqrt(t)).
struct NeumannStrand {
  NeumannProperties props;
  double R = 20.0;          // m
  double fine_depth = 0.25; // depth of the rings under study, m
  double coarse = 1.0;      // largest width of the core's rings, m
  double htc = 1e8;         // W/(m^2 K)
  double solidus = 1499.5, liquidus = 1500.5;  // degC

  // Enthalpy (kJ/m^3) and conductivity: c_s T up to the solidus, the latent
  // heat spread evenly over the freezing range, then the melt's c_l, the
  // conductivity changing from the solid's to the melt's over the same range.
  std::string Table() const {
    const NeumannProperties& p = props;
    const double H_sol = p.c_s * solidus, H_liq = H_sol + p.L + 0.5 * (p.c_s + p.c_l) * (liquidus - solidus);
    std::ostringstream os;
    os.precision(17);
    os << 25.0 << "," << p.c_s * 25.0 / 1000 << "," << p.lambda_s << "\n"
       << solidus << "," << H_sol / 1000 << "," << p.lambda_s << "\n"
       << liquidus << "," << H_liq / 1000 << "," << p.lambda_l << "\n"
       << 1600.0 << "," << (H_liq + p.c_l * (1600.0 - liquidus)) / 1000 << "," << p.lambda_l << "\n";
    return os.str();
  }
};

// The model's front against the exact one at evenly spaced times.
struct NeumannRun {
  int steps = 0;                 // time steps to the last time
  double dtau = 0.0;             // s
  std::vector<double> time;      // s
  std::vector<double> depth;     // depth of the solidus front from the enthalpies, m
  std::vector<double> exact;     // exact depth, m
  // Model minus exact over exact at sample n.
  double Error(size_t n) const { return (depth[n] - exact[n]) / exact[n]; }
  // Sample at time t (a sample time).
  size_t At(double t) const {
    for (size_t n = 0; n < time.size(); ++n)
      if (std::fabs(time[n] - t) < 1e-9 * t) return n;
    throw std::logic_error("no sample at " + std::to_string(t) + " s");
  }
  // Largest |Error| over the samples from t/2 to t: the front's speed
  // swings as it crosses each ring (a freezing ring's temperature stays in
  // the freezing range, so the solid's gradient to it lags the front's
  // position), and the largest error over that span holds every phase of
  // the swing whatever the time at which a single reading falls.
  double WorstError(double t) const {
    double worst = 0.0;
    for (size_t n = 0; n < time.size(); ++n)
      if (time[n] >= 0.5 * t * (1 - 1e-12) && time[n] <= t * (1 + 1e-12))
        worst = std::max(worst, std::fabs(Error(n)));
    return worst;
  }
};

// Gives a model of the Neumann strand its rings (of `width` over the outer
// fine_depth, a few coarse ones in the core, which stays at T0), a field at
// T0 and the mould law against Ts over its whole length, no air cooling.
inline void ShapeNeumannStrand(Tepora& P, const NeumannStrand& strand, double width) {
  const int fine = int(std::lround(strand.fine_depth / width));
  const double inside = strand.R - fine * width;
  const int core = int(std::ceil(inside / strand.coarse));
  P.grid.ndr = core + fine;
  P.grid.dr.set_size(P.grid.ndr);
  for (int i = 0; i < P.grid.ndr; ++i) P.grid.dr(i) = i < core ? inside / core : width;
  P.field.T.set_size(P.grid.ndr, P.grid.ndphi, P.grid.ndz);
  P.field.T.fill(strand.props.T0);
  P.cooling.CrystallizerLength = 1e3;
  P.cooling.TertiaryLength = 0.0;
  P.cooling.T_k = strand.props.Ts;
}

// Runs the model with rings of `width` (m) in the outer fine_depth, 3
// sectors and 3 slices, no casting speed and the mould law everywhere, from
// melt at T0, and reads the front of sector 1, slice 1 at `samples` evenly
// spaced times up to t_end (s). The time step is `fraction` of the model's
// stability estimate, shortened so that every sample falls on a step. The
// working directory must hold Input/ and TeporaOut/.
inline NeumannRun RunNeumannStrand(const NeumannStrand& strand, const ExactNeumann& exact,
                                   double width, double t_end, int samples, double fraction) {
  {
    std::ofstream("Input/Interp.csv") << strand.Table();
  }
  Tepora P(strand.coarse, 1.0, 2 * kPi / 3, strand.R, 3.0, 0.0, strand.props.T0,
           "Input/Interp.csv", 0.0, strand.props.Ts, 1.0, 0.0);
  ShapeNeumannStrand(P, strand, width);
  if (P.grid.ndphi != 3 || P.grid.ndz != 3)
    throw std::logic_error("the Neumann strand's grid is not I x 3 x 3");
  P.model = Formulation::Cylindrical;
  P.vz = 0.0;
  // The surface ring loses heat through its outer half in series with the
  // htc, at most 2 lambda / dr whatever the htc: the stability estimate,
  // which counts the htc alone, is taken with that conductance.
  P.cooling.htc_k = 2.0 * std::max(strand.props.lambda_s, strand.props.lambda_l) / width;
  NeumannRun run;
  const double every = t_end / samples;
  const int first = int(std::ceil(every / (fraction * P.StableStepEstimate(0.0))));
  run.dtau = P.dtau = every / first;
  P.cooling.htc_k = strand.htc;
  RadialLine line;
  for (int i = 0; i <= P.grid.ndr; ++i) line.faces.push_back(P.grid.FaceRadius(i));
  line.H_sol = P.EnthalpyAt(strand.solidus);
  line.H_liq = P.EnthalpyAt(strand.liquidus);
  // The steps run on from one sample to the next with no file written; the
  // inlet slice copies slice 1.
  StepRule rule;
  rule.inlet = InletKind::ZeroGradient;
  cube H = P.EnthalpyOf(P.field.T);
  P.p = 0;
  for (int n = 1; n <= samples; ++n) {
    const double t = n * every;
    P.RunSteps(n * first, rule, H, false);
    line.H.assign(P.grid.ndr, 0.0);
    for (int i = 0; i < P.grid.ndr; ++i) line.H[i] = H(i, 1, 1);
    line.H_surface = P.EnthalpyAt(P.SurfaceTemperature(1, 1));
    run.depth.push_back(line.faces.back() - FrontRadius(line, 1.0));
    run.exact.push_back(exact.Front(t));
    run.time.push_back(t);
  }
  run.steps = samples * first;
  return run;
}

}  // namespace tepora
