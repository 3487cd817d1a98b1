// The steady strand, slice by slice: every slice k solves
//
//   G(H) = (H - H_up) - dt_k L_k(H) = 0,   dt_k = dz_k / vz,
//
// for the enthalpies H of its cells, H_up those of the slice before it (the
// casting enthalpy for slice 0), by Newton's method. L_k is the cylindrical
// step's cross-section operator with the same constants (CylinderStep), face
// fluxes, disc and surface flux, so that a transient run carried to steady
// state satisfies these equations up to its axial conduction.
//
// The Jacobian: every face flux is a difference of the Kirchhoff potential
// phi, whose derivative dphi/dH = lambda(T) dT/dH is exact on the table's
// straight lines; the surface flux's derivative is taken by a difference
// (its law reads the air's table and corrects the surface temperature once,
// see SurfaceFlux). The table has kinks (latent heat over a few kelvin: dT/dH
// falls by a factor of ten or more at the liquidus), across which a full
// Newton step may overshoot, so every step is halved until the residual's
// norm falls (Armijo's rule); on the smooth pieces between kinks Newton
// converges quadratically, and the last steps are full ones.
#include "model/steady_strand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "common/errors.h"
#include "common/whole_file.h"

namespace tepora {

namespace {

// A slice is solved when no cell's residual exceeds this fraction of the
// casting enthalpy: about 1e-7 K of the solid's temperature, far below any
// figure the results show and some thousand times the rounding of the terms.
const double kResidualFraction = 1e-10;
// Newton steps a slice may take; the example's slices take 2 to 6.
const int kMaxNewtonSteps = 100;
// Halvings of one Newton step before it is taken as it is.
const int kMaxHalvings = 40;
// Armijo's sufficient decrease: the residual's norm must fall by this
// fraction of the step's length (1 a full step).
const double kArmijo = 1e-4;
// The surface flux's derivative: a difference over this fraction of the
// casting enthalpy, some 2e-5 K, wide against rounding, narrow against the
// table's rows (1 K apart).
const double kFluxDifference = 1e-8;
// A cross-section's Jacobian is factored again only when a step with the
// old factors left more than this fraction of the residual or had to be
// shortened: factoring costs n J^2, a solve with the factors n J.
const double kChordContraction = 0.25;
// The steady solve costs about as much as this many time steps of the
// strand when its sectors differ (far less when they are alike): a shorter
// transient run gets no distance to the steady strand.
const int kStepsWorthASolve = 100;

// The constants of one slice and the work arrays of its solve.
struct Slice {
  const Tepora& P;
  const CylinderStep& plan;
  const LinearTable& tab;
  int k = 0;
  int sectors = 0;   // J, or 1 when every sector is alike
  double dt = 0;     // travel time through the slice, dz_k / vz, s
  double H_low = 0, H_high = 0;  // enthalpies the table covers, J/m^3
  double dH = 0;     // difference for the surface flux's derivative, J/m^3
  std::vector<SurfaceLaw> law;  // surface law of every sector solved
  const double* H_up = nullptr;  // upstream enthalpies, I x J

  // State at the trial enthalpies H (I x sectors): temperature, potential
  // and its derivative, surface flux W/m^2 and its derivative, the outer
  // radial face fluxes times the face radius (W/m), the residual.
  std::vector<double> H, T, phi, dphi, q, dq, Fo, G;

  Slice(const Tepora& model, const CylinderStep& p, const LinearTable& t)
      : P(model), plan(p), tab(t) {}

  double Flux(int j, double h) const {
    double t, rho, flux, Ts;
    tab.FromEnthalpy(h, t, rho);
    SurfaceFlux(law[j], plan.air, t, plan.hw_s, rho, flux, Ts);
    return flux;
  }

  // Fills the state at H and returns the residual's Euclidean norm.
  double Evaluate() {
    const int I = plan.rings, S = sectors;
    const uword n = uword(I) * S;
    for (uword c = 0; c < n; ++c) {
      tab.FromEnthalpyPhi(H[c], T[c], phi[c]);
      double d;
      const uword p = tab.index.FirstAbove(H[c]) - 1;  // checked by FromEnthalpyPhi
      d = H[c] - tab.H[p];
      dphi[c] = tab.dT[p] * (tab.K[p] + d * tab.dK[p]);
    }
    for (int j = 0; j < S; ++j) {
      const uword s = uword(I) * j + I - 1;
      q[j] = Flux(j, H[s]);
      const double h2 = H[s] + dH < H_high ? H[s] + dH : H[s] - dH;
      dq[j] = (Flux(j, h2) - q[j]) / (h2 - H[s]);
      for (int i = 0; i + 1 < I; ++i) {
        const uword c = uword(I) * j + i;
        Fo[c] = plan.grad_c[c] * (phi[c + 1] - phi[c]);
      }
      Fo[s] = -(plan.R_s * q[j]);
    }
    double norm = 0.0, disc = 0.0;
    for (int j = 0; j < S; ++j) {
      disc += Fo[uword(I) * j];
      const uword up = uword(I) * ((j + 1) % S), down = uword(I) * ((j + S - 1) % S);
      for (int i = 1; i < I; ++i) {
        const uword c = uword(I) * j + i;
        const double rad = (Fo[c] - Fo[c - 1]) * plan.invA_c[c];
        const double ang = plan.gphi_c[c] * (phi[up + i] - phi[c]) -
                           plan.gphi_c[c] * (phi[c] - phi[down + i]);
        G[c] = (H[c] - H_up[c]) - dt * (rad + ang);
        norm += G[c] * G[c];
      }
    }
    // The disc gathers what ring 1 gives it in every sector.
    const double rad0 = disc * (double(plan.sectors) / S) * plan.invA0;
    G[0] = (H[0] - H_up[0]) - dt * rad0;
    norm += G[0] * G[0];
    return std::sqrt(norm);
  }

  double LargestResidual() const {
    double m = std::fabs(G[0]);
    for (int j = 0; j < sectors; ++j)
      for (int i = 1; i < plan.rings; ++i) m = std::max(m, std::fabs(G[uword(plan.rings) * j + i]));
    return m;
  }
};

// The Newton step of a slice whose sectors are alike: the disc and the
// rings form one tridiagonal system, solved by elimination from the axis
// out and substitution back. Writes -G' ^-1 G into step.
void RingStep(const Slice& s, std::vector<double>& step) {
  const CylinderStep& pl = s.plan;
  const int I = pl.rings;
  std::vector<double> lo(I, 0.0), di(I, 0.0), up(I, 0.0), rhs(I, 0.0);
  const double w0 = s.dt * double(pl.sectors) * pl.invA0 * pl.grad_c[0];
  di[0] = 1.0 + w0 * s.dphi[0];
  up[0] = -w0 * s.dphi[1];
  rhs[0] = -s.G[0];
  for (int i = 1; i < I; ++i) {
    const double a = s.dt * pl.invA_c[i];
    const double gin = a * pl.grad_c[i - 1], gout = i + 1 < I ? a * pl.grad_c[i] : 0.0;
    lo[i] = -gin * s.dphi[i - 1];
    di[i] = 1.0 + (gin + gout) * s.dphi[i];
    if (i + 1 < I) up[i] = -gout * s.dphi[i + 1];
    else di[i] += a * pl.R_s * s.dq[0];
    rhs[i] = -s.G[i];
  }
  for (int i = 1; i < I; ++i) {
    const double m = lo[i] / di[i - 1];
    di[i] -= m * up[i - 1];
    rhs[i] -= m * rhs[i - 1];
  }
  step[I - 1] = rhs[I - 1] / di[I - 1];
  for (int i = I - 2; i >= 0; --i) step[i] = (rhs[i] - up[i] * step[i + 1]) / di[i];
}

// The Jacobian of a whole cross-section, factored: the disc (one unknown)
// and every ring cell of every sector, numbered ring after ring from the
// axis (1 + (i-1) J + j), so that every coupling, the disc's to ring 1 and
// the closing of the circle included, lies within J of the diagonal. Its
// LU factors stay in that band. No pivot is needed: the matrix is
// V^-1 (V D^-1 + G) D with V the cell volumes, D the potential's
// derivatives and G the symmetric conductances of the faces (and the
// surface), whose middle factor is a symmetric, diagonally dominant
// M-matrix.
struct SectionMatrix {
  int I = 0, J = 0;
  uword n = 0, w = 0;        // unknowns, half bandwidth (J)
  std::vector<double> band;  // row r, column c at r (2w + 1) + c - r + w

  uword Unknown(int i, int j) const {
    return i == 0 ? 0 : 1 + uword(i - 1) * J + uword((j + J) % J);
  }
  uword Cell(int i, int j) const { return uword(I) * uword((j + J) % J) + i; }
  double& At(uword r, uword c) { return band[r * (2 * w + 1) + c + w - r]; }

  // The Jacobian at the slice's state, then its factors.
  void Factor(const Slice& s) {
    const CylinderStep& pl = s.plan;
    I = pl.rings;
    J = pl.sectors;
    n = 1 + uword(I - 1) * J;
    w = uword(J);
    band.assign(n * (2 * w + 1), 0.0);
    double disc = 0.0;
    for (int j = 0; j < J; ++j) {
      const double g = s.dt * pl.invA0 * pl.grad_c[Cell(0, j)];
      disc += g;
      At(0, Unknown(1, j)) -= g * s.dphi[Cell(1, j)];
    }
    At(0, 0) += 1.0 + disc * s.dphi[0];
    for (int j = 0; j < J; ++j)
      for (int i = 1; i < I; ++i) {
        const uword c = Cell(i, j), r = Unknown(i, j);
        const double a = s.dt * pl.invA_c[c], g = s.dt * pl.gphi_c[c];
        const double gin = a * pl.grad_c[c - 1], gout = i + 1 < I ? a * pl.grad_c[c] : 0.0;
        double diag = 1.0 + (gin + gout + 2.0 * g) * s.dphi[c];
        if (i + 1 < I) At(r, Unknown(i + 1, j)) -= gout * s.dphi[c + 1];
        else diag += a * pl.R_s * s.dq[j];
        At(r, Unknown(i - 1, j)) -= gin * s.dphi[Cell(i - 1, j)];
        At(r, Unknown(i, j + 1)) -= g * s.dphi[Cell(i, j + 1)];
        At(r, Unknown(i, j - 1)) -= g * s.dphi[Cell(i, j - 1)];
        At(r, r) += diag;
      }
    const uword W = 2 * w + 1;
    for (uword k = 0; k < n; ++k) {
      const double* pivot_row = &band[k * W + w];  // column k + m at pivot_row[m]
      const uword last = std::min(n - 1, k + w);
      for (uword r = k + 1; r <= last; ++r) {
        double* row = &band[r * W + w - r];  // column c at row[c]
        const double l = row[k] / pivot_row[0];
        row[k] = l;
        for (uword c = k + 1; c <= last; ++c) row[c] -= l * pivot_row[c - k];
      }
    }
  }

  // -G'^-1 G of the slice's residual into step (I x J, the disc in every
  // sector), by the factors.
  void Solve(const Slice& s, std::vector<double>& step, std::vector<double>& x) const {
    const uword W = 2 * w + 1;
    x.assign(n, 0.0);
    x[0] = -s.G[0];
    for (int j = 0; j < J; ++j)
      for (int i = 1; i < I; ++i) x[Unknown(i, j)] = -s.G[Cell(i, j)];
    for (uword r = 1; r < n; ++r) {
      const double* row = &band[r * W + w - r];
      double sum = x[r];
      for (uword c = r > w ? r - w : 0; c < r; ++c) sum -= row[c] * x[c];
      x[r] = sum;
    }
    for (uword r = n; r-- > 0;) {
      const double* row = &band[r * W + w - r];
      double sum = x[r];
      const uword last = std::min(n - 1, r + w);
      for (uword c = r + 1; c <= last; ++c) sum -= row[c] * x[c];
      x[r] = sum / row[r];
    }
    for (int j = 0; j < J; ++j) {
      step[Cell(0, j)] = x[0];
      for (int i = 1; i < I; ++i) step[Cell(i, j)] = x[Unknown(i, j)];
    }
  }
};

// The surface laws of a slice are the same in every sector.
bool SameLaws(const std::vector<SurfaceLaw>& law) {
  for (const SurfaceLaw& l : law)
    if (l.mould != law[0].mould || l.h_fixed != law[0].h_fixed || l.T_ref != law[0].T_ref)
      return false;
  return true;
}

// Every ring of the upstream slice holds one enthalpy in all sectors.
bool SameSectors(const double* H, int I, int J) {
  for (int j = 1; j < J; ++j)
    for (int i = 0; i < I; ++i)
      if (H[uword(I) * j + i] != H[i]) return false;
  return true;
}

}  // namespace

void SolveSteadySlices(Tepora& P, const CylinderStep& plan, int first, int last,
                       SteadyStrand& out, bool use_symmetry) {
  const LinearTable& tab = P.material.ConstLin;
  const int I = plan.rings, J = plan.sectors;
  const uword IJ = uword(I) * J;
  const double H_inlet = plan.inflow.front();
  Slice s(P, plan, tab);
  s.H_low = tab.H.front();
  s.H_high = std::nextafter(tab.H.back(), -datum::inf);
  s.dH = kFluxDifference * std::fabs(H_inlet);
  const double tolerance = kResidualFraction * std::fabs(H_inlet);
  for (auto* v : {&s.H, &s.T, &s.phi, &s.dphi, &s.Fo, &s.G}) v->assign(IJ, 0.0);
  s.q.assign(J, 0.0);
  s.dq.assign(J, 0.0);
  std::vector<double> step(IJ, 0.0), start(IJ, 0.0);
  std::vector<SurfaceLaw> all(J);
  SectionMatrix jacobian;
  std::vector<double> work;

  for (int k = first; k <= last; ++k) {
    const double* up = k == 0 ? plan.inflow.data() : out.H.memptr() + IJ * (k - 1);
    for (int j = 0; j < J; ++j) all[j] = plan.SurfaceLawAt(P, j, k);
    const bool alike = use_symmetry && SameLaws(all) && SameSectors(up, I, J);
    s.k = k;
    s.sectors = alike ? 1 : J;
    s.law.assign(all.begin(), all.begin() + s.sectors);
    s.dt = P.grid.dz(k) / P.vz;
    s.H_up = up;
    const uword n = uword(I) * s.sectors;
    std::copy(up, up + n, s.H.begin());
    double norm = s.Evaluate();
    int steps = 0;
    bool refactor = true;
    while (s.LargestResidual() > tolerance) {
      if (++steps > kMaxNewtonSteps)
        throw std::runtime_error(
            "the steady strand did not converge in slice " + std::to_string(k + 1) + " at " +
            ValueText(std::round(1e6 * (arma::accu(P.grid.dz.head(k)) + 0.5 * P.grid.dz(k))) / 1e6) +
            " m: residual " + ValueText(s.LargestResidual()) + " J/m^3 after " +
            std::to_string(kMaxNewtonSteps) + " Newton steps");
      if (alike) {
        RingStep(s, step);
      } else {
        if (refactor) {
          jacobian.Factor(s);
          ++out.stats.factorisations;
        }
        jacobian.Solve(s, step, work);
      }
      std::copy(s.H.begin(), s.H.begin() + n, start.begin());
      double length = 1.0;
      const double before = norm;
      for (int h = 0;; ++h) {
        for (uword c = 0; c < n; ++c)
          s.H[c] = std::min(std::max(start[c] + length * step[c], s.H_low), s.H_high);
        const double tried = s.Evaluate();
        if (tried <= (1.0 - kArmijo * length) * norm || h == kMaxHalvings) {
          norm = tried;
          break;
        }
        length *= 0.5;
      }
      refactor = length < 1.0 || norm > kChordContraction * before;
    }
    out.stats.newton_steps += steps;
    out.stats.largest_residual = std::max(out.stats.largest_residual, s.LargestResidual());
    ++out.stats.slices;
    out.stats.axisymmetric += alike;
    double* Hk = out.H.memptr() + IJ * k;
    double* Tk = out.T.memptr() + IJ * k;
    for (int j = 0; j < J; ++j)
      for (int i = 0; i < I; ++i) {
        const uword from = alike ? uword(i) : uword(I) * j + i;
        Hk[uword(I) * j + i] = i == 0 ? s.H[0] : s.H[from];
        Tk[uword(I) * j + i] = i == 0 ? s.T[0] : s.T[from];
      }
    double lost = 0.0;
    for (int j = 0; j < J; ++j) lost += s.q[alike ? 0 : j];
    out.surface_out += lost * (plan.R_s * plan.dphi * P.grid.dz(k));
  }
}

CylinderStep SteadyPlan(Tepora& P) {
  if (!(P.vz > 0))
    throw InputError("Input/TechSettings.txt: line 5 (casting speed, m/min) is " +
                     ValueText(P.vz * 60) +
                     "; expected a casting speed above 0 for the steady strand, which the "
                     "steel carries down from the meniscus");
  StepRule rule;
  rule.inlet = InletKind::Fixed;
  rule.H_inlet = P.material.ConstLin.Enthalpy(P.T_in);
  return CylinderStep(P, rule);
}

SteadyStrand SolveSteadyStrand(Tepora& P, bool use_symmetry) {
  const CylinderStep plan = SteadyPlan(P);
  const int I = plan.rings, J = plan.sectors, K = plan.slices;
  const uword IJ = uword(I) * J;

  SteadyStrand out;
  out.H.set_size(I, J, K);
  out.T.set_size(I, J, K);
  SolveSteadySlices(P, plan, 0, K - 2, out, use_symmetry);
  // Outlet: a copy of the slice before it, as in the transient step.
  out.H.slice(K - 1) = out.H.slice(K - 2);
  out.T.slice(K - 1) = out.T.slice(K - 2);
  for (uword c = 0; c < IJ; ++c) {
    out.carried_in += plan.area_c[c] * (P.vz * plan.inflow[c]);
    out.carried_out += plan.area_c[c] * (P.vz * out.H(IJ * (K - 2) + c));
  }
  return out;
}

SteadyStrand ComputeSteady(Tepora& P) {
  SteadyStrand s = SolveSteadyStrand(P);
  P.p = 0;
  P.field.T = s.T;
  P.field.H_final = s.H;
  P.energy = EnergyAccount();
  P.energy.surface_out = s.surface_out;
  P.energy.carried_in = s.carried_in;
  P.energy.carried_out = s.carried_out;
  std::printf(
      "Steady strand: %d slices solved slice by slice from the meniscus without axial "
      "conduction (%d of them on the rings alone, every sector alike), %d Newton steps, "
      "largest residual %.1e J/m^3\n",
      s.stats.slices, s.stats.axisymmetric, s.stats.newton_steps, s.stats.largest_residual);
  std::printf(
      "Energy balance: surface %.6e W + outlet %.6e W - inlet %.6e W = %.1e W "
      "(%.1e of the largest term)\n",
      s.surface_out, s.carried_out, s.carried_in, -s.Imbalance(),
      std::fabs(s.Imbalance()) / std::max({s.surface_out, s.carried_in, s.carried_out}));
  SaveWhole(s.H, "TeporaOut/H_0.cub");
  SaveWhole(s.T, "TeporaOut/T_0_final.cub");
  SaveWhole(SectorProfile(s.T), "TeporaOut/TempProfile_final.mat");
  return s;
}

double DistanceToSteady(Tepora& P, int steps) {
  if (P.model != Formulation::Cylindrical || !(P.vz > 0) || steps < kStepsWorthASolve)
    return NAN;
  try {
    const SteadyStrand s = SolveSteadyStrand(P);
    return arma::abs(P.field.T - s.T).max();
  } catch (const std::exception&) {
    return NAN;  // the run's own results stand; only the figure is missing
  }
}

}  // namespace tepora
