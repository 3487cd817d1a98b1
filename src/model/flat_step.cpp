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
#include "model/flat_step.h"

#include <algorithm>

#include "model/cooling.h"
#include "model/material.h"
#include "model/slice_threads.h"
#include "model/strand_model.h"

namespace tepora {

// Second differences of the previous temperature, summed, and the upwind
// transport term, for every cell of columns 1 .. J-2 of slice k. Flat loops
// over the slice that the compiler vectorises, with a wider clone where the
// processor has AVX2; division and addition round the same in every lane.
__attribute__((target_clones("avx2", "default"))) void SliceDifferences(
    const FlatStep& plan, FlatStep::Scratch& w, const double* __restrict Tk,
    const double* __restrict Hk, uword IJ, double dzk, double dzkm, double dzs,
    const double* __restrict qzc_k, double* __restrict qzn_k) {
  const uword I = uword(plan.rings), c0 = I, c1 = IJ - I;
  const double* __restrict dr_c = plan.dr_c.data();
  const double* __restrict drsum_c = plan.drsum_c.data();
  const double* __restrict rdphi2_c = plan.rdphi2_c.data();
  double* __restrict q = w.q_r.data();
  double* __restrict S = w.S.data();
  double* __restrict adv = w.adv.data();
  const double vzdtau = plan.vzdtau;
  const double* __restrict Tjm = Tk - I;
  const double* __restrict Tjp = Tk + I;
  const double* __restrict Hkm = Hk - IJ;
  for (uword c = c0; c < c1; ++c) qzn_k[c] = (Tk[IJ + c] - Tk[c]) / dzk;
  for (uword c = c0; c <= c1; ++c) q[c] = (Tk[c] - Tk[c - 1]) / dr_c[c];
  for (uword c = c0; c < c1; ++c) {
    const double Qdr = 2 * (q[c + 1] - q[c]) / drsum_c[c];
    const double Qdphi = (Tjm[c] - 2 * Tk[c] + Tjp[c]) / rdphi2_c[c];
    const double Qdz = 2 * (qzn_k[c] - qzc_k[c]) / dzs;
    S[c] = Qdr + Qdphi + Qdz;
  }
  for (uword c = c0; c < c1; ++c) adv[c] = ((Hkm[c] - Hk[c]) / dzkm) * vzdtau;
}

void RequireSolverGrid(int I, int J, int K) {
  if (I < 2 || J < 3 || K < 3)
    throw std::out_of_range("a grid of " + std::to_string(I) + " x " + std::to_string(J) + " x " +
                            std::to_string(K) +
                            " cells is too small for the solver (needs at least 2 radial "
                            "cells, 3 angular cells and 3 slices)");
}

FlatStep::FlatStep(const StrandModel& m, const StepRule& run_rule) : rule(run_rule) {
  FlatStep& plan = *this;
  const int I = m.grid.ndr, J = m.grid.ndphi, K = m.grid.ndz;
  RequireSolverGrid(I, J, K);
  plan.rings = I;
  plan.sectors = J;
  plan.slices = K;
  const uword IJ = uword(I) * J;
  plan.dr_c.resize(IJ + 1);
  plan.drsum_c.resize(IJ);
  plan.rdphi2_c.resize(IJ);
  for (uword c = 0; c <= IJ; ++c) {
    const int i = int(c % I);
    plan.dr_c[c] = m.grid.dr(i);
    if (c == IJ) break;
    const double r = m.grid.getR(i);
    plan.rdphi2_c[c] = (r * m.grid.dphi) * (r * m.grid.dphi);
    plan.drsum_c[c] = i + 1 < I ? m.grid.dr(i) + m.grid.dr(i + 1) : 1.0;  // the surface has its own
  }
  plan.r_s = m.grid.getR(I - 1);
  plan.rdphi2_s = (plan.r_s * m.grid.dphi) * (plan.r_s * m.grid.dphi);
  plan.dzsum.assign(K, 0.0);
  plan.mould.assign(K, 0);
  plan.tertiary.assign(K, 0);
  for (int k = 1; k + 1 < K; ++k) {
    plan.dzsum[k] = m.grid.dz(k - 1) + m.grid.dz(k);
    const double a = (m.grid.dz(k) + m.grid.dz(k + 1)) * 0.5;
    plan.mould[k] = rule.mould && m.cooling.CrystallizerLength / a > double(k);
    plan.tertiary[k] = double(k) > double(m.grid.ndz) - m.cooling.TertiaryLength / a;
  }
  plan.vzdtau = m.vz * m.dtau;
  plan.natural.resize(m.material.ConstM.n_rows);
  plan.radiation.resize(m.material.ConstM.n_rows);
  for (uword r = 0; r < m.material.ConstM.n_rows; ++r) {
    const double Ts = m.material.ConstM(r, 0);
    plan.natural[r] = NaturalConvectionHtc(Ts, m.cooling.T_inf);
    plan.radiation[r] = RadiationHtc(Ts, m.cooling.T_inf, rule.whole_emissivity);
  }
  plan.threads = StepThreads(double(IJ) * K, K);
  plan.choice = ThreadChoice(plan.threads);
  plan.scratch.resize(plan.threads);
  for (FlatStep::Scratch& w : plan.scratch)
    for (auto* v : {&w.q_r, &w.qz_a, &w.qz_b, &w.S, &w.adv}) v->resize(IJ + 1);
}

void FlatStep::Advance(StrandModel& m, const cube& H_old, cube& H, cube& T_new) {
  FlatStep& plan = *this;
  const int I = plan.rings, J = plan.sectors, K = plan.slices;
  const uword IJ = uword(I) * J;
  const TableView tab(m.material.ConstM, m.material.ConstHindex);
  const double* Tp = m.field.T.memptr();
  const double* Hop = H_old.memptr();
  double* Hp = H.memptr();
  double* Tn = T_new.memptr();
  const int s = I - 1;
  const double dr_s = m.grid.dr(s), dr_s1 = m.grid.dr(s - 1), drsum_s = dr_s1 + dr_s;
  // Columns 1 .. J-2 of a slice, the ones the heat equation updates.
  const uword c0 = I, c1 = IJ - I;
  // The run's constants as locals, which no store to a field can change.
  const double dtau = m.dtau, T_k = m.cooling.T_k, htc_k = m.cooling.htc_k;
  const double T_inf = m.cooling.T_inf;
  const bool whole = rule.whole_emissivity;
  const mat& CoolM = m.cooling.CoolM;

  ForSliceRuns(plan.choice, K, [&](int first, int end, int thread) {
    FlatStep::Scratch& w = plan.scratch[thread];
    const double* S = w.S.data();
    const double* adv = w.adv.data();
    double* qzc = w.qz_a.data();  // (T(k) - T(k-1)) / dz(k-1) of the slice in work
    double* qzn = w.qz_b.data();  // (T(k+1) - T(k)) / dz(k), the next slice's qzc
    // The difference below the run's first slice, as the slice before it
    // would have handed it on.
    const double* Tb = Tp + IJ * (first - 1);
    for (uword c = c0; c < c1; ++c) qzc[c] = (Tb[IJ + c] - Tb[c]) / m.grid.dz(first - 1);

    for (int k = first; k < end; ++k) {
      const double dzk = m.grid.dz(k), dzkm = m.grid.dz(k - 1), dzs = plan.dzsum[k];
      const double* __restrict Tk = Tp + IJ * k;
      const double* __restrict Hk = Hop + IJ * k;
      double* __restrict Out = Hp + IJ * k;

      // The arithmetic of the whole slice; rings 0 and I-1 come out
      // meaningless here and are written below.
      SliceDifferences(plan, w, Tk, Hk, IJ, dzk, dzkm, dzs, qzc, qzn);

      for (int j = 1; j < J - 1; ++j) {
        const uword col = uword(I) * j;
        for (uword c = col + 1; c < col + s; ++c) {
          const double lam = tab.Conductivity(Tk[c]);
          Out[c] = S[c] * (lam * dtau) + Hk[c] + adv[c];
        }

        // Surface ring: the ghost node outside carries the outgoing flux.
        const uword c = col + s;
        const double Ts = Tk[c];
        const uword row = tab.Row(Ts);
        const double lam = tab.cond[row];
        double QdrOUT;
        if (plan.mould[k]) {
          QdrOUT = (Ts - T_k) * htc_k;
        } else {
          const bool on_row = tab.temp[row] == Ts;
          double htc_n = on_row ? plan.natural[row] : NaturalConvectionHtc(Ts, T_inf);
          if (!plan.tertiary[k]) htc_n = htc_n + CoolM.at(j, k);
          const double htc_r = on_row ? plan.radiation[row]
                                      : RadiationHtc(Ts, T_inf, whole);
          QdrOUT = (htc_n + htc_r) * (Ts - T_inf);
        }
        const double Tout = Tk[c - 1] - 2 * plan.r_s * dr_s * QdrOUT / lam;
        const double Qdr = 2 * ((Tout - Ts) / dr_s - (Ts - Tk[c - 1]) / dr_s1) / drsum_s;
        const double Qdphi = (Tk[c + I] - 2 * Ts + Tk[c - I]) / plan.rdphi2_s;
        const double Qdz = 2 * (qzn[c] - qzc[c]) / dzs;
        Out[c] = (Qdr + Qdphi + Qdz) * (lam * dtau) + Hk[c] + adv[c];
      }
      std::swap(qzc, qzn);

      // Axis cells copy ring 1, edge sectors their inner neighbours.
      for (int j = 1; j < J - 1; ++j) Out[uword(I) * j] = Out[uword(I) * j + 1];
      std::copy(Out + I, Out + 2 * I, Out);
      std::copy(Out + uword(I) * (J - 2), Out + uword(I) * (J - 1), Out + uword(I) * (J - 1));

      double* Tnk = Tn + IJ * k;
      for (uword c = 0; c < IJ; ++c) Tnk[c] = tab.Temperature(Out[c]);
    }
  });
  // Outlet: a copy of the slice before it.
  std::copy(Hp + IJ * (K - 2), Hp + IJ * (K - 1), Hp + IJ * (K - 1));
  std::copy(Tn + IJ * (K - 2), Tn + IJ * (K - 1), Tn + IJ * (K - 1));

  // Inlet slice.
  double* H0 = Hp;
  switch (rule.inlet) {
    case InletKind::Fixed: {
      std::fill(H0, H0 + IJ, rule.H_inlet);
      const double t = tab.Temperature(rule.H_inlet);
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
  for (uword c = 0; c < IJ; ++c) Tn[c] = tab.Temperature(H0[c]);
}

mat FlatStep::SurfaceField(const StrandModel& m) {
  mat Ts(m.grid.ndphi, m.grid.ndz, fill::zeros);
  for (int k = 0; k < m.grid.ndz; ++k)
    for (int j = 0; j < m.grid.ndphi; ++j) Ts(j, k) = m.field.T(m.grid.ndr - 1, j, k);
  return Ts;
}

double FlatStep::Enthalpy(const Material& material, double t) { return material.getConstT(t, 'h'); }

// The explicit step weighs a cell's old enthalpy by
//   1 - dtau (a (2/dr^2 + 2/(r dphi)^2 + 2/dz^2) + vz/dz),   a = lambda / c,
// (heat conduction to the six neighbours and upwind transport to the next
// slice), and errors stop growing only while that weight stays
// non-negative. The bound takes the smallest widths, r of ring 1 (the
// innermost ring the heat equation updates), the largest conductivity and
// the smallest volumetric heat capacity c = dH/dT of the table's set rows.
// The surface's extra loss to the coolant is left out: it adds about
// r h dr / lambda of the radial part, a few per cent of the whole with the
// mould's 2000 W/(m^2 K) on the example.
double FlatStep::StableStep(const StrandModel& m, double speed, double lambda_max, double c_min) {
  const Grid& grid = m.grid;
  const double dr_min = grid.dr.min(), dz_min = grid.dz.min();
  const double arc = grid.getR(std::min(1, grid.ndr - 1)) * grid.dphi;
  const double a = lambda_max / c_min;
  return 1.0 / (2 * a * (1 / (dr_min * dr_min) + 1 / (arc * arc) + 1 / (dz_min * dz_min)) +
                std::abs(speed) / dz_min);
}

}  // namespace tepora
