// The cylindrical finite-volume step written cell by cell, straight from
// its formulas, as the reference the fast step must match bit for bit:
// every face flux computed where it is used, neighbours by index with the
// ring closed, the table searched from its first row.
#pragma once

#include "model/cooling.h"
#include "literal_model.h"
#include "model/tepora.h"

namespace tepora {

namespace literal {

// Temperature, resistivity and Kirchhoff potential at an enthalpy from the
// first row above it: the potential of the row plus the integral of the
// conductivity along the row's line up to the temperature.
inline void LinearLookup(const LinearTable& t, double h, double& T, double& rho, double& phi) {
  uword c = 0;
  while (c < t.H.size() && !(t.H[c] > h)) ++c;
  if (c == 0 || c == t.H.size()) throw std::out_of_range("enthalpy outside the table");
  const uword p = c - 1;
  const double d = h - t.H[p];
  T = t.T[p] + d * t.dT[p];
  rho = 1.0 / (t.K[p] + d * t.dK[p]);
  phi = t.Phi[p] + (d * t.dT[p]) * (t.K[p] + 0.5 * (d * t.dK[p]));
}

// Slope of the Kirchhoff potential against enthalpy on the line of the
// first row above h: lambda(t) dT/dH.
inline double LinearSlope(const LinearTable& t, double h) {
  uword c = 0;
  while (c < t.H.size() && !(t.H[c] > h)) ++c;
  if (c == 0 || c == t.H.size()) throw std::out_of_range("enthalpy outside the table");
  const uword p = c - 1;
  return t.dT[p] * (t.K[p] + (h - t.H[p]) * t.dK[p]);
}

// Whether ring i's explicit bound, every face's conductance and its angular
// one counted, lies below the run's step: written out ring by ring.
inline std::vector<bool> ImplicitRings(const Tepora& m) {
  const int I = m.grid.ndr, J = m.grid.ndphi;
  std::vector<bool> implicit(I, false);
  double lambda_max, c_min;
  if (J < 3 || !(m.dtau > 0) || !m.material.ConductionBounds(lambda_max, c_min)) return implicit;
  const double a = lambda_max / c_min, dphi = 2 * kPi / J;
  const double h_air = NaturalConvectionHtc(m.T_in, m.cooling.T_inf) +
                       RadiationHtc(m.T_in, m.cooling.T_inf, false);
  const double h_max = std::max(m.cooling.htc_k, m.cooling.CoolM.max() + h_air);
  const double h_s = h_max / (1.0 + h_max * (0.5 * m.grid.dr(I - 1)) / lambda_max);
  const double dz = m.grid.dz.min();
  for (int i = 1; i < I; ++i) {
    const double rc = m.grid.FaceRadius(i) + 0.5 * m.grid.dr(i), vol = rc * m.grid.dr(i);
    double g = 0.0;
    if (i + 1 < I) g += m.grid.FaceRadius(i + 1) / (0.5 * (m.grid.dr(i) + m.grid.dr(i + 1)));
    g += m.grid.FaceRadius(i) / (0.5 * (m.grid.dr(i - 1) + m.grid.dr(i)));
    g /= vol;
    g += 2.0 / ((rc * dphi) * (rc * dphi));
    const double surface = i == I - 1 ? m.grid.FaceRadius(I) * h_s / (vol * c_min) : 0.0;
    const double rate = ((a * g + surface) + a * 2.0 / (dz * dz)) + std::abs(m.vz) / dz;
    implicit[i] = m.dtau > 1.0 / rate;
  }
  return implicit;
}

// Ring i of slice k with its angular conduction at the new potential
// phi + phi'(H_old) delta: the closed ring's system for delta = H_new - H_old
// built whole (a below, b on, c above the diagonal, the corners beta in row
// 0 and alpha in row J-1), H holding the explicit update on entry, solved by
// the cyclic algorithm of the textbooks: the tridiagonal matrix with
// b_0 - gamma and b_{J-1} - alpha beta / gamma, gamma = -b_0, for the
// right-hand side and for u = (gamma, 0, .., 0, alpha), then
// x - z (x_0 + beta x_{J-1} / gamma) / (1 + z_0 + beta z_{J-1} / gamma).
inline void ImplicitRing(const Tepora& m, int i, int k, const cube& H_old, cube& H) {
  const int J = m.grid.ndphi;
  const LinearTable& tab = m.material.ConstLin;
  const double arc = (m.grid.FaceRadius(i) + 0.5 * m.grid.dr(i)) * (2 * kPi / J);
  const double s = m.dtau * (1.0 / (arc * arc));
  std::vector<double> p(J), a(J), b(J), c(J), r(J), u(J, 0.0);
  for (int j = 0; j < J; ++j) p[j] = s * LinearSlope(tab, H_old(i, j, k));
  for (int j = 0; j < J; ++j) {
    a[j] = -p[(j + J - 1) % J];
    b[j] = 1.0 + 2.0 * p[j];
    c[j] = -p[(j + 1) % J];
    r[j] = H(i, j, k) - H_old(i, j, k);
  }
  const double alpha = c[J - 1], beta = a[0], gamma = -b[0];
  std::vector<double> bb = b;
  bb[0] = b[0] - gamma;
  bb[J - 1] = b[J - 1] - alpha * beta / gamma;
  u[0] = gamma;
  u[J - 1] = alpha;
  const auto tridiagonal = [&](const std::vector<double>& rhs) {
    std::vector<double> g(J), x(J);
    double inv = 1.0 / bb[0];
    g[0] = c[0] * inv;
    x[0] = rhs[0] * inv;
    for (int j = 1; j < J; ++j) {
      inv = 1.0 / (bb[j] - a[j] * g[j - 1]);
      g[j] = c[j] * inv;
      x[j] = (rhs[j] - a[j] * x[j - 1]) * inv;
    }
    for (int j = J - 2; j >= 0; --j) x[j] -= g[j] * x[j + 1];
    return x;
  };
  const std::vector<double> x = tridiagonal(r), z = tridiagonal(u);
  const double f = (x[0] + beta * x[J - 1] / gamma) / (1.0 + z[0] + beta * z[J - 1] / gamma);
  for (int j = 0; j < J; ++j) H(i, j, k) = H_old(i, j, k) + (x[j] - f * z[j]);
}

inline void CylinderRun(Tepora& m, const Mode& mode, int pmax, cube& H) {
  const int I = m.grid.ndr, J = m.grid.ndphi, K = m.grid.ndz;
  const double dphi = 2 * kPi / J;
  const LinearTable& tab = m.material.ConstLin;
  AirHtcTable air;
  air.Build(m.cooling.T_inf, std::max(m.T_in, tab.T.back()));
  std::vector<double> zc(K);  // slice centres
  double z = 0.0;
  for (int k = 0; k < K; ++k) {
    zc[k] = z + 0.5 * m.grid.dz(k);
    z += m.grid.dz(k);
  }
  cube& T = m.field.T;
  cube rho(arma::size(H)), phi(arma::size(H));
  for (int k = 0; k < K; ++k) {
    double s = 0.0;
    for (int j = 0; j < J; ++j) s += H(0, j, k);
    for (int j = 0; j < J; ++j) H(0, j, k) = s / double(J);
  }
  for (uword c = 0; c < H.n_elem; ++c) LinearLookup(tab, H(c), T(c), rho(c), phi(c));
  double H_in = 0.0;
  if (mode.swtch == 'y' || (mode.element && mode.ind == 0)) H_in = tab.Enthalpy(m.T_in);
  mat H_field(I, J);
  if (mode.element && mode.ind != 0) {
    for (int j = 0; j < J; ++j)
      for (int i = 0; i < I; ++i) H_field(i, j) = tab.Enthalpy(mode.T_L(i, j, 0));
    double s = 0.0;
    for (int j = 0; j < J; ++j) s += H_field(0, j);
    for (int j = 0; j < J; ++j) H_field(0, j) = s / double(J);
  }

  // Steel at the casting enthalpy enters through the face at z = 0 and slice
  // 0 is updated like the others; an element downstream holds its slice 0.
  const bool meniscus = mode.element ? mode.ind == 0 : mode.swtch == 'y';
  const auto rc = [&](int i) { return m.grid.FaceRadius(i) + 0.5 * m.grid.dr(i); };
  const std::vector<bool> implicit = ImplicitRings(m);
  for (int p = 0; p < pmax; ++p) {
    const cube H_old = H;
    const auto fz = [&](int i, int j, int k) {  // into slice k from slice k + 1
      if (k < 0) return 0.0;                       // none through the meniscus
      return (phi(i, j, k + 1) - phi(i, j, k)) * (1.0 / (0.5 * (m.grid.dz(k) + m.grid.dz(k + 1))));
    };
    const auto up = [&](int i, int j, int k) {  // enthalpy the steel brings into slice k
      return k == 0 ? H_in : H_old(i, j, k - 1);
    };
    const auto Fo = [&](int i, int j, int k) {  // out through ring i's outer face, times its radius
      if (i < I - 1)
        return (m.grid.FaceRadius(i + 1) / (0.5 * (m.grid.dr(i) + m.grid.dr(i + 1)))) *
               (phi(i + 1, j, k) - phi(i, j, k));
      const bool mould = (!mode.element || mode.ind == 0) && zc[k] < m.cooling.CrystallizerLength;
      const bool tertiary = zc[k] >= arma::accu(m.grid.dz) - m.cooling.TertiaryLength;
      const SurfaceLaw law =
          mould ? SurfaceLaw{true, m.cooling.htc_k, m.cooling.T_k}
                : SurfaceLaw{false, tertiary ? 0.0 : m.cooling.CoolM(j, k), m.cooling.T_inf};
      double q, Ts;
      SurfaceFlux(law, air, T(i, j, k), 0.5 * m.grid.dr(I - 1), rho(i, j, k), q, Ts);
      return -(m.grid.FaceRadius(I) * q);
    };
    const auto face = [&](int i, int j, int k) {  // between sectors j and j + 1
      const int n = (j + 1) % J;
      const double arc = rc(i) * dphi;
      return (1.0 / (arc * arc)) * (phi(i, n, k) - phi(i, j, k));
    };
    for (int k = meniscus ? 0 : 1; k < K - 1; ++k) {
      const double invdz = 1.0 / m.grid.dz(k);
      for (int j = 0; j < J; ++j)
        for (int i = 1; i < I; ++i) {
          const double rad = (Fo(i, j, k) - Fo(i - 1, j, k)) * (1.0 / (rc(i) * m.grid.dr(i)));
          const double ang = face(i, j, k) - face(i, (j + J - 1) % J, k);
          const double ax = (fz(i, j, k) - fz(i, j, k - 1)) * invdz;
          const double adv = ((up(i, j, k) - H_old(i, j, k)) * invdz) * (m.vz * m.dtau);
          H(i, j, k) = ((rad + ang) + ax) * m.dtau + H_old(i, j, k) + adv;
        }
      double s = 0.0;
      for (int j = 0; j < J; ++j) s += Fo(0, j, k);
      const double rad0 = s * (1.0 / (double(J) * (rc(0) * m.grid.dr(0))));
      const double ax0 = (fz(0, 0, k) - fz(0, 0, k - 1)) * invdz;
      const double adv0 = ((up(0, 0, k) - H_old(0, 0, k)) * invdz) * (m.vz * m.dtau);
      for (int j = 0; j < J; ++j) H(0, j, k) = (rad0 + ax0) * m.dtau + H_old(0, 0, k) + adv0;
      for (int i = 1; i < I; ++i)
        if (implicit[i]) ImplicitRing(m, i, k, H_old, H);
    }
    for (int j = 0; j < J; ++j)
      for (int i = 0; i < I; ++i) {
        H(i, j, K - 1) = H(i, j, K - 2);
        if (meniscus)
          continue;
        else if (mode.element)
          H(i, j, 0) = H_field(i, j);
        else if (mode.swtch == 'n')
          H(i, j, 0) = H(i, j, 1);
      }
    for (uword c = 0; c < H.n_elem; ++c) LinearLookup(tab, H(c), T(c), rho(c), phi(c));
  }
}

}  // namespace literal

}  // namespace tepora
