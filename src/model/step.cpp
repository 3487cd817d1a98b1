// The explicit time step of the thermal model.
//
// Heat equation in cylindrical coordinates for the volumetric enthalpy H with
// temperature-dependent conductivity lambda(T), and upwind transport at the
// casting speed vz:
//
//   H_new = (Q_r + Q_phi + Q_z) lambda(T) dtau + H + (H[k-1] - H[k]) / dz vz dtau
//
// with the second differences Q of the previous temperature field. At the
// surface a ghost node carries the outgoing flux: in the mould
// htc_k (Ts - T_k), elsewhere (htc_n + htc_r)(Ts - T_inf) with natural
// convection plus sprays and radiation.
//
// The boundary cells take their values from copies: the axis from ring 1,
// the angular edges from their inner neighbours, the outlet from the slice
// before it, the inlet from its condition. Run at every visit of a sweep
// (slices outermost, then sectors, then rings), the copies leave every
// boundary cell of slices 1 .. K-1 equal to the updated cell at the clamped
// indices (max(i, 1), min(max(j, 1), J-2), min(k, K-2)), and slice 0 as the
// inlet condition writes it at the visits of the last slice. The step below
// writes those final values directly.
#include <algorithm>

#include "lookup.h"
#include "tepora.h"

StepPlan Tepora::Plan(const StepRule& rule) {
  StepPlan plan;
  const int I = ndr, J = ndphi, K = ndz;
  if (I < 2 || J < 3 || K < 3)
    throw std::out_of_range("a grid of " + std::to_string(I) + " x " + std::to_string(J) +
                            " x " + std::to_string(K) +
                            " cells is too small for the solver (needs at least 2 radial "
                            "cells, 3 angular cells and 3 slices)");
  plan.I = I;
  plan.J = J;
  plan.K = K;
  plan.rdphi2.resize(I);
  for (int i = 0; i < I; ++i) {
    const double r = getR(i);
    plan.rdphi2[i] = (r * dphi) * (r * dphi);
  }
  plan.r_s = getR(I - 1);
  plan.drsum.resize(I);
  for (int i = 0; i + 1 < I; ++i) plan.drsum[i] = dr(i) + dr(i + 1);
  plan.dzsum.assign(K, 0.0);
  plan.mould.assign(K, 0);
  plan.tertiary.assign(K, 0);
  for (int k = 1; k + 1 < K; ++k) {
    plan.dzsum[k] = dz(k - 1) + dz(k);
    const double a = (dz(k) + dz(k + 1)) * 0.5;
    plan.mould[k] = rule.mould && CrystallizerLength / a > double(k);
    plan.tertiary[k] = double(k) > double(ndz) - TertiaryLength / a;
  }
  plan.eps_whole.resize(2 * StepPlan::kEpsOffset + 1);
  for (int n = -StepPlan::kEpsOffset; n <= StepPlan::kEpsOffset; ++n)
    plan.eps_whole[n + StepPlan::kEpsOffset] = 0.85 / std::pow(std::exp(double(n + 1)), 0.0115);
  plan.vzdtau = vz * dtau;
  plan.q_r.resize(I);
  return plan;
}

void Tepora::Step(const StepRule& rule, StepPlan& plan, const cube& H_old, cube& H,
                  cube& T_new) {
  const int I = plan.I, J = plan.J, K = plan.K;
  const uword IJ = uword(I) * J;
  const TableView tab(ConstM, ConstHmax);
  const double* Tp = T.memptr();
  const double* Hop = H_old.memptr();
  double* Hp = H.memptr();
  double* Tn = T_new.memptr();
  const double* drp = dr.memptr();
  const double* dzp = dz.memptr();
  double* q = plan.q_r.data();
  const double Ta = T_inf + 273.15;

  for (int k = 1; k < K - 1; ++k) {
    const double dzk = dzp[k], dzkm = dzp[k - 1], dzs = plan.dzsum[k];
    for (int j = 1; j < J - 1; ++j) {
      const uword base = uword(I) * j + IJ * k;
      const double* Tc = Tp + base;
      const double* Tjm = Tc - I;
      const double* Tjp = Tc + I;
      const double* Tkm = Tc - IJ;
      const double* Tkp = Tc + IJ;
      const double* Hc = Hop + base;
      const double* Hkm = Hc - IJ;
      double* Out = Hp + base;

      // Radial quotients (T(i) - T(i-1)) / dr(i), each shared by two cells.
      for (int i = 1; i < I - 1; ++i) q[i] = (Tc[i] - Tc[i - 1]) / drp[i];
      q[I - 1] = (Tc[I - 1] - Tc[I - 2]) / drp[I - 1];

      for (int i = 1; i < I - 1; ++i) {
        const double Ti = Tc[i];
        const double Qdr = 2 * (q[i + 1] - q[i]) / plan.drsum[i];
        const double Qdphi = (Tjm[i] - 2 * Ti + Tjp[i]) / plan.rdphi2[i];
        const double Qdz = 2 * ((Tkp[i] - Ti) / dzk - (Ti - Tkm[i]) / dzkm) / dzs;
        const double lam = tab.Conductivity(Ti);
        Out[i] = (Qdr + Qdphi + Qdz) * (lam * dtau) + Hc[i] +
                 ((Hkm[i] - Hc[i]) / dzkm) * plan.vzdtau;
      }

      // Surface ring: the ghost node outside carries the outgoing flux.
      const int s = I - 1;
      const double Ts = Tc[s];
      const double lam = tab.Conductivity(Ts);
      double QdrOUT;
      if (plan.mould[k]) {
        QdrOUT = (Ts - T_k) * htc_k;
      } else {
        double epsilon;
        if (rule.whole_emissivity) {
          const int n = int(42.68 - 0.0268 * (Ts + 273.15));
          epsilon = (n >= -StepPlan::kEpsOffset && n <= StepPlan::kEpsOffset)
                        ? plan.eps_whole[n + StepPlan::kEpsOffset]
                        : 0.85 / std::pow(std::exp(double(n + 1)), 0.0115);
        } else {
          const double c = 42.68 - (Ts + 273.15) * 0.0268;
          epsilon = 0.85 / std::pow(std::exp(c + 1), 0.0115);
        }
        double htc_n = std::pow(Ts - T_inf, 1.0 / 3) * 0.84;
        if (!plan.tertiary[k]) htc_n = htc_n + CoolM.at(j, k);
        const double Tk = Ts + 273.15;
        const double htc_r = (epsilon * sigma) * (Tk * Tk + Ta * Ta) * (Tk + Ta);
        QdrOUT = (htc_n + htc_r) * (Ts - T_inf);
      }
      const double Tout = Tc[s - 1] - 2 * plan.r_s * drp[s] * QdrOUT / lam;
      const double Qdr =
          2 * ((Tout - Ts) / drp[s] - (Ts - Tc[s - 1]) / drp[s - 1]) / plan.drsum[s - 1];
      const double Qdphi = (Tjp[s] - 2 * Ts + Tjm[s]) / plan.rdphi2[s];
      const double Qdz = 2 * ((Tkp[s] - Ts) / dzk - (Ts - Tkm[s]) / dzkm) / dzs;
      Out[s] = (Qdr + Qdphi + Qdz) * (lam * dtau) + Hc[s] +
               ((Hkm[s] - Hc[s]) / dzkm) * plan.vzdtau;
    }

    // Axis cells copy ring 1, edge sectors their inner neighbours.
    double* Hk = Hp + IJ * k;
    for (int j = 1; j < J - 1; ++j) Hk[uword(I) * j] = Hk[uword(I) * j + 1];
    std::copy(Hk + I, Hk + 2 * I, Hk);
    std::copy(Hk + uword(I) * (J - 2), Hk + uword(I) * (J - 1), Hk + uword(I) * (J - 1));

    const double* Tk = Tp + IJ * k;
    double* Tnk = Tn + IJ * k;
    for (uword c = 0; c < IJ; ++c) Tnk[c] = tab.Temperature(Hk[c], Tk[c]);
  }

  // Outlet: a copy of the slice before it.
  std::copy(Hp + IJ * (K - 2), Hp + IJ * (K - 1), Hp + IJ * (K - 1));
  std::copy(Tn + IJ * (K - 2), Tn + IJ * (K - 1), Tn + IJ * (K - 1));

  // Inlet slice.
  double* H0 = Hp;
  switch (rule.inlet) {
    case InletKind::Fixed: {
      std::fill(H0, H0 + IJ, rule.H_inlet);
      const double t = tab.Temperature(rule.H_inlet, Tp[0]);
      std::fill(Tn, Tn + IJ, t);
      return;
    }
    case InletKind::ZeroGradient:
      std::copy(Hp + IJ, Hp + 2 * IJ, H0);
      std::copy(Tn + IJ, Tn + 2 * IJ, Tn);
      return;
    case InletKind::Field:
      std::copy(rule.H_field.memptr(), rule.H_field.memptr() + IJ, H0);
      break;
    case InletKind::Free:
      // Only the axis and edge copies act on slice 0, on the values it held.
      for (int j = 0; j < J; ++j) {
        const int jc = std::min(std::max(j, 1), J - 2);
        for (int i = 0; i < I; ++i) H0[i + uword(I) * j] = Hop[std::max(i, 1) + uword(I) * jc];
      }
      break;
  }
  for (uword c = 0; c < IJ; ++c) Tn[c] = tab.Temperature(H0[c], Tp[c]);
}
