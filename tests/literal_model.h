// Straightforward, literal versions of the model's performance-critical
// routines, kept as the reference that the fast ones must match bit for bit:
// the first-match search of the enthalpy column and the time step with every
// boundary copy run at every visit of the sweep.
#pragma once

#include "model/tepora.h"

namespace tepora {

namespace literal {

// Row just below the first row (from row 0) whose enthalpy exceeds H;
// -1 when row 0 already does, -2 when no row does.
inline long FirstMatchRow(const mat& ConstM, double H) {
  for (uword r = 0; r < ConstM.n_rows; ++r)
    if (ConstM(r, 1) > H) return long(r) - 1;
  return -2;
}

inline double Lambda(const mat& ConstM, double T) {
  return ConstM(uword(std::floor(T + 0.5) - 1), 2);
}

inline double Enthalpy(const mat& ConstM, double T) {
  return ConstM(uword(std::floor(T + 0.5) - 1), 1);
}

inline double Temperature(const mat& ConstM, double H) {
  const long r = FirstMatchRow(ConstM, H);
  if (r < 0) throw std::out_of_range("enthalpy outside the table");
  return ConstM(uword(r), 0);
}

// The differences between the whole-strand step and the element step.
struct Mode {
  char swtch = 'y';          // 'y' fixed inlet, 'n' zero gradient, other: none
  bool element = false;      // element solver: inlet from T_L or T_in, truncated emissivity
  int ind = 0;               // element index (mould only in element 0)
  cube T_L;                  // upstream field of an element
};

// One sweep of the cells, slices outermost, then sectors, then rings, with
// the six actions at every visit; H keeps what it held where nothing writes.
inline void Sweep(Tepora& m, const Mode& mode, cube& H, const cube& H_old) {
  const int ndr = m.grid.ndr, ndphi = m.grid.ndphi, ndz = m.grid.ndz;
  const cube& T = m.field.T;
  for (int k = 0; k < ndz; ++k)
    for (int j = 0; j < ndphi; ++j)
      for (int i = 0; i < ndr; ++i) {
        const bool inner_jk = 0 < j && j < ndphi - 1 && 0 < k && k < ndz - 1;
        if (i == ndr - 1 && inner_jk) {
          const double Ts = T(ndr - 1, j, k);
          double epsilon;
          if (mode.element) {
            const int n = int(42.68 - 0.0268 * (Ts + 273.15));
            const double c = std::pow(std::exp(n + 1), 0.0115);
            epsilon = 0.85 / c;
          } else {
            const double c = 42.68 - (Ts + 273.15) * 0.0268;
            epsilon = 0.85 / std::pow(std::exp(c + 1), 0.0115);
          }
          const double a = (m.grid.dz(k) + m.grid.dz(k + 1)) * 0.5;
          double htc_n = std::pow(Ts - m.cooling.T_inf, 1.0 / 3) * 0.84;
          if (!(k > ndz - m.cooling.TertiaryLength / a)) htc_n += m.cooling.CoolM(j, k);
          double QdrOUT;
          const bool mould =
              m.cooling.CrystallizerLength / a > k && (!mode.element || mode.ind == 0);
          if (mould) {
            QdrOUT = (Ts - m.cooling.T_k) * m.cooling.htc_k;
          } else {
            const double Tk = Ts + 273.15, Ta = m.cooling.T_inf + 273.15;
            const double htc_r = (epsilon * sigma) * (Tk * Tk + Ta * Ta) * (Tk + Ta);
            QdrOUT = (htc_n + htc_r) * (Ts - m.cooling.T_inf);
          }
          const double rs = m.grid.getR(ndr - 1);
          const double Tout = T(ndr - 2, j, k) -
                              2 * rs * m.grid.dr(ndr - 1) * QdrOUT / Lambda(m.material.ConstM, Ts);
          const double Qdr =
              2 *
              ((Tout - Ts) / m.grid.dr(ndr - 1) - (Ts - T(ndr - 2, j, k)) / m.grid.dr(ndr - 2)) /
              (m.grid.dr(ndr - 2) + m.grid.dr(ndr - 1));
          const double Qdphi = (T(ndr - 1, j + 1, k) - 2 * Ts + T(ndr - 1, j - 1, k)) /
                               ((rs * m.grid.dphi) * (rs * m.grid.dphi));
          const double Qdz = 2 *
                             ((T(i, j, k + 1) - T(i, j, k)) / m.grid.dz(k) -
                              (T(i, j, k) - T(i, j, k - 1)) / m.grid.dz(k - 1)) /
                             (m.grid.dz(k - 1) + m.grid.dz(k));
          H(i, j, k) = (Qdr + Qdphi + Qdz) * (Lambda(m.material.ConstM, Ts) * m.dtau) +
                       H_old(i, j, k) +
                       ((H_old(i, j, k - 1) - H_old(i, j, k)) / m.grid.dz(k - 1)) * (m.vz * m.dtau);
        }
        if (0 < i && i < ndr - 1 && inner_jk) {
          const double Qdr = 2 *
                             ((T(i + 1, j, k) - T(i, j, k)) / m.grid.dr(i + 1) -
                              (T(i, j, k) - T(i - 1, j, k)) / m.grid.dr(i)) /
                             (m.grid.dr(i) + m.grid.dr(i + 1));
          const double r = m.grid.getR(i);
          const double Qdphi = (T(i, j - 1, k) - 2 * T(i, j, k) + T(i, j + 1, k)) /
                               ((r * m.grid.dphi) * (r * m.grid.dphi));
          const double Qdz = 2 *
                             ((T(i, j, k + 1) - T(i, j, k)) / m.grid.dz(k) -
                              (T(i, j, k) - T(i, j, k - 1)) / m.grid.dz(k - 1)) /
                             (m.grid.dz(k - 1) + m.grid.dz(k));
          H(i, j, k) = (Qdr + Qdphi + Qdz) * (Lambda(m.material.ConstM, T(i, j, k)) * m.dtau) +
                       H_old(i, j, k) +
                       ((H_old(i, j, k - 1) - H_old(i, j, k)) / m.grid.dz(k - 1)) * (m.vz * m.dtau);
        }
        if (mode.element) {
          H(i, j, 0) = mode.ind == 0 ? Enthalpy(m.material.ConstM, m.T_in)
                                     : Enthalpy(m.material.ConstM, mode.T_L(i, j, 0));
        } else if (mode.swtch == 'n') {
          H(i, j, 0) = H(i, j, 1);
        } else if (mode.swtch == 'y') {
          H(i, j, 0) = Enthalpy(m.material.ConstM, m.T_in);
        }
        H(i, 0, k) = H(i, 1, k);
        H(i, ndphi - 1, k) = H(i, ndphi - 2, k);
        H(i, j, ndz - 1) = H(i, j, ndz - 2);
        H(0, j, k) = H(1, j, k);
      }
}

// pmax literal steps of the model; H enters holding what the solver's
// enthalpy buffer holds (the enthalpy of T) and leaves with the last step's.
inline void Run(Tepora& m, const Mode& mode, int pmax, cube& H) {
  cube H_old = H;
  for (int p = 0; p < pmax; ++p) {
    Sweep(m, mode, H, H_old);
    cube T_new(arma::size(H));
    for (uword k = 0; k < H.n_slices; ++k)
      for (uword j = 0; j < H.n_cols; ++j)
        for (uword i = 0; i < H.n_rows; ++i)
          T_new(i, j, k) = Temperature(m.material.ConstM, H(i, j, k));
    m.field.T = T_new;
    H_old = H;
  }
}

}  // namespace literal

}  // namespace tepora
