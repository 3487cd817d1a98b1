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
