// The cylindrical time step: finite volumes of the heat equation for the
// volumetric enthalpy H with temperature-dependent conductivity lambda(T)
// and transport at the casting speed vz,
//
//   dH/dt = (1/r) d/dr(r lambda dT/dr) + (1/r^2) d/dphi(lambda dT/dphi)
//           + d/dz(lambda dT/dz) - vz dH/dz,
//
// integrated over every cell and advanced by an explicit Euler step:
//
//   H_new = ((rad + ang) + ax) dtau + H + ((H[k-1] - H) / dz) vz dtau,
//
// except that the rings whose short arcs would make that step unstable take
// the angular term at the new potential (see ImplicitRing).
//
// Every term is a difference of fluxes through the cell's faces divided by
// its volume, so that what leaves one cell enters its neighbour and the
// strand's heat content changes only through its surface, inlet and outlet.
//
// Every face flux is the difference of the Kirchhoff potential
// phi(T) = integral of lambda dT (W/m) of its two cells over their distance:
//
//   rad = (rf(i+1) g(i+1/2) - rf(i) g(i-1/2)) / (rc(i) dr(i)),
//         g(i+1/2) = (phi(i+1) - phi(i)) / ((dr(i) + dr(i+1)) / 2);
//   ang = f(j+1/2) - f(j-1/2),  f(j+1/2) = (phi(j+1) - phi(j)) / (rc dphi)^2;
//   ax  = (f(k+1/2) - f(k-1/2)) / dz(k),
//         f(k+1/2) = (phi(k+1) - phi(k)) / ((dz(k) + dz(k+1)) / 2).
//
// The heat flux -lambda dT/dx is -d phi/dx, whatever lambda(T) does, so a
// face takes the mean of lambda over the temperatures between its two
// cells (phi is exact on the table's straight lines, see LinearTable). A
// mean of the two cells' own conductivities would count the melt's (in
// steel several times the solid's) or the solid's over the whole distance
// while the front lies between them: the harmonic mean put the front of a
// freezing half-space ahead of the exact one by 4.3 / 2.3 / 1.0 % after 60 s
// on 4 / 2 / 1 mm rings when the melt conducts four times as well, always
// ahead and falling at first order (the Kirchhoff fluxes: within 0.3 %). The axis is a disc cell:
// no face at r = 0 carries heat, and the disc gathers the radial fluxes of all sectors of ring 1.
// At the surface the outer face carries q = h (Ts - Tref) W/m^2 through half
// the surface ring at the ring's own conductivity (see SurfaceFlux): the
// coolant laws need the surface temperature itself, and the surface ring is
// solid within the first seconds in the mould, where lambda varies little
// over half a ring. Sector J-1 and sector 0 are neighbours.
//
// The inlet is the face at z = 0, the meniscus: liquid steel at the casting
// enthalpy enters through it at the casting speed (the transport term of
// slice 0 takes that enthalpy for the slice before it), and no heat is
// conducted through it, since above the meniscus lies the mould powder, not
// steel. Slice 0, z from 0 to dz(0), is thus an ordinary slice cooled by the
// zone its centre lies in, and steel is cooled by the mould for the mould's
// whole length. A piece of the strand that starts downstream has no such
// face: its slice 0 is a slice of the strand whose enthalpy the strand above
// gives (InletKind::Field), and the step updates slices 1 and on.
#include <algorithm>

#include "model/cylinder_step.h"
#include "model/material.h"
#include "model/slice_threads.h"
#include "model/strand_model.h"

namespace tepora {

__attribute__((target_clones("avx2", "default"))) static void RadialFaces(
    const CylinderStep& plan, double* __restrict Fo, const double* __restrict pk, uword IJ) {
  const double* __restrict grad = plan.grad_c.data();
  for (uword c = 0; c + 1 < IJ; ++c) Fo[c] = grad[c] * (pk[c + 1] - pk[c]);
}

// Temperature and Kirchhoff potential of n cells from their enthalpies.
static void FromEnthalpies(const LinearTable& tab, const double* H, double* T, double* phi,
                           uword n) {
  for (uword c = 0; c < n; ++c) tab.FromEnthalpyPhi(H[c], T[c], phi[c]);
}

namespace {

// How fast the explicit step draws a cell's old enthalpy away, ring by ring:
// the weight it keeps is 1 - dtau (a G + vz/dz) with a = lambda / c and G
// the sum of the cell's face conductances per volume (see StableStep).
struct RingRates {
  std::vector<double> full;           // a G_rad + surface + a 2 / (rc dphi)^2 of ring i, 1/s
  std::vector<double> without_angle;  // the same without the angular term, 1/s
  double axial = 0.0;                 // a 2 / dz^2 of the shortest slice, 1/s
  double transport = 0.0;             // |vz| / dz of the shortest slice, 1/s
  // Longest explicit step of ring i, its angular term counted, s.
  double Bound(int i) const { return 1.0 / ((full[uword(i)] + axial) + transport); }
};

// The rates at a casting speed (m/s) from the table's largest conductivity
// (W/(m K)) and smallest heat capacity (J/(m^3 K)).
RingRates RatesOfRings(const StrandModel& m, double speed, double lambda_max, double c_min) {
  const Grid& grid = m.grid;
  const Cooling& cooling = m.cooling;
  const double T_in = m.T_in;
  const double dphi_c = 2 * kPi / grid.ndphi, a = lambda_max / c_min;
  const double h_air =
      NaturalConvectionHtc(T_in, cooling.T_inf) + RadiationHtc(T_in, cooling.T_inf, false);
  const double h_max =
      std::max(cooling.htc_k, (cooling.CoolM.is_empty() ? 0.0 : cooling.CoolM.max()) + h_air);
  const double h_s = h_max / (1.0 + h_max * (0.5 * grid.dr(grid.ndr - 1)) / lambda_max);
  RingRates rates;
  for (int i = 0; i < grid.ndr; ++i) {
    const double rc = grid.CentreRadius(i), vol = rc * grid.dr(i);
    double g = 0.0;
    if (i + 1 < grid.ndr) g += grid.FaceRadius(i + 1) / (0.5 * (grid.dr(i) + grid.dr(i + 1)));
    if (i > 0) g += grid.FaceRadius(i) / (0.5 * (grid.dr(i - 1) + grid.dr(i)));
    g /= vol;
    double surface = 0.0;
    if (i == grid.ndr - 1) surface = grid.FaceRadius(grid.ndr) * h_s / (vol * c_min);
    rates.without_angle.push_back(a * g + surface);
    if (i > 0) g += 2.0 / ((rc * dphi_c) * (rc * dphi_c));
    rates.full.push_back(a * g + surface);
  }
  const double dz_min = grid.dz.min();
  rates.axial = a * 2.0 / (dz_min * dz_min);
  rates.transport = std::abs(speed) / dz_min;
  return rates;
}

}  // namespace

CylinderStep::CylinderStep(const StrandModel& m, const StepRule& run_rule) : rule(run_rule) {
  CylinderStep& plan = *this;
  const int I = m.grid.ndr, J = m.grid.ndphi, K = m.grid.ndz;
  RequireSolverGrid(I, J, K);
  plan.rings = I;
  plan.sectors = J;
  plan.slices = K;
  const uword IJ = uword(I) * J;
  // The sectors close the circle whatever the angular width asked for.
  plan.dphi = 2 * kPi / J;
  for (auto* v : {&plan.grad_c, &plan.invA_c, &plan.gphi_c, &plan.area_c})
    v->assign(IJ, 0.0);
  plan.threads = StepThreads(double(IJ) * K, K);
  plan.choice = ThreadChoice(plan.threads);
  plan.scratch.resize(plan.threads);
  for (CylinderStep::Scratch& w : plan.scratch) {
    for (auto* v : {&w.Fo, &w.fp, &w.fz_a, &w.fz_b}) v->assign(IJ, 0.0);
    for (auto* v : {&w.couple, &w.upper, &w.x, &w.z}) v->assign(uword(J), 0.0);
  }
  plan.slice_loss.assign(K, 0.0);
  plan.lo = rule.inlet == InletKind::Fixed ? 0 : 1;
  if (rule.inlet == InletKind::Field) {  // one disc on the axis
    double disc = 0.0;
    for (int j = 0; j < J; ++j) disc += rule.H_field(0, j);
    rule.H_field.row(0).fill(disc / double(J));
  }
  if (plan.lo == 0) plan.inflow.assign(IJ, rule.H_inlet);
  for (uword c = 0; c < IJ; ++c) {
    const int i = int(c % I);
    const double rc = m.grid.CentreRadius(i), arc = rc * plan.dphi;
    plan.grad_c[c] =
        i + 1 < I ? m.grid.FaceRadius(i + 1) / (0.5 * (m.grid.dr(i) + m.grid.dr(i + 1))) : 0.0;
    plan.invA_c[c] = 1.0 / (rc * m.grid.dr(i));
    plan.gphi_c[c] = i > 0 ? 1.0 / (arc * arc) : 0.0;
    plan.area_c[c] = rc * m.grid.dr(i) * plan.dphi;
  }
  plan.R_s = m.grid.FaceRadius(I);
  plan.hw_s = 0.5 * m.grid.dr(I - 1);
  plan.invA0 = 1.0 / (double(J) * (m.grid.CentreRadius(0) * m.grid.dr(0)));
  plan.invdzs.assign(K, 0.0);
  plan.invdz.resize(K);
  plan.mould.assign(K, 0);
  plan.tertiary = AirCooledSlices(m.grid.dz, m.cooling.TertiaryLength);
  double z = 0.0;
  for (int k = 0; k < K; ++k) {
    if (k + 1 < K) plan.invdzs[k] = 1.0 / (0.5 * (m.grid.dz(k) + m.grid.dz(k + 1)));
    plan.invdz[k] = 1.0 / m.grid.dz(k);
    plan.mould[k] = rule.mould && z + 0.5 * m.grid.dz(k) < m.cooling.CrystallizerLength;
    z += m.grid.dz(k);
  }
  plan.vzdtau = m.vz * m.dtau;
  double lambda_max, c_min;
  if (J >= 3 && m.dtau > 0 && m.material.ConductionBounds(lambda_max, c_min)) {
    const RingRates rates = RatesOfRings(m, m.vz, lambda_max, c_min);
    for (int i = 1; i < I; ++i)
      if (m.dtau > rates.Bound(i)) plan.implicit_rings.push_back(i);
  }
  const std::vector<double>& rows = m.material.ConstLin.T;
  plan.air.Build(m.cooling.T_inf, rows.empty() ? m.T_in : std::max(m.T_in, rows.back()));
}

void CylinderStep::Follow(const StrandModel& m) {
  vzdtau = m.vz * m.dtau;
  if (lo != 0) return;
  rule.H_inlet = Enthalpy(m.material, m.T_in);
  std::fill(inflow.begin(), inflow.end(), rule.H_inlet);
}

// The disc on the axis holds one enthalpy, the mean of its sectors'; then
// temperature and Kirchhoff potential follow from enthalpy everywhere.
void CylinderStep::Start(StrandModel& m, cube& H) {
  CylinderStep& plan = *this;
  const uword J = plan.sectors;
  for (uword k = 0; k < H.n_slices; ++k) {
    double s = 0.0;
    for (uword j = 0; j < J; ++j) s += H(0, j, k);
    for (uword j = 0; j < J; ++j) H(0, j, k) = s / double(J);
  }
  // The state beside T and H belongs to a run, not to the grid's constants,
  // which the surface field reads alone.
  plan.phi.assign(H.n_elem, 0.0);
  plan.phi_new.assign(H.n_elem, 0.0);
  FromEnthalpies(m.material.ConstLin, H.memptr(), m.field.T.memptr(), plan.phi.data(), H.n_elem);
}

// Heat content of the slices the step updates (lo .. K-2), J.
double CylinderStep::HeatContent(const StrandModel& m, const cube& H) const {
  const CylinderStep& plan = *this;
  const uword IJ = uword(plan.rings) * plan.sectors;
  double total = 0.0;
  for (int k = plan.lo; k < plan.slices - 1; ++k) {
    const double* Hk = H.memptr() + IJ * k;
    double s = 0.0;
    for (uword c = 0; c < IJ; ++c) s += plan.area_c[c] * Hk[c];
    total += s * m.grid.dz(k);
  }
  return total;
}

SurfaceLaw CylinderStep::SurfaceLawAt(const StrandModel& m, int j, int k) const {
  const CylinderStep& plan = *this;
  if (plan.mould[k]) return {true, m.cooling.htc_k, m.cooling.T_k};
  return {false, plan.tertiary[k] ? 0.0 : m.cooling.CoolM.at(j, k), m.cooling.T_inf};
}

// Flat loops over a slice that the compiler vectorises, with a wider clone
// where the processor has AVX2; division and addition round the same in
// every lane. Fo of the surface ring is written before; ring 0 of `Out` is
// meaningless here and written by the caller. Hkm holds the enthalpies the
// steel brings in from upstream (the slice before, or the inflow at z = 0).
__attribute__((target_clones("avx2", "default"))) static void CylinderSlice(
    const CylinderStep& plan, CylinderStep::Scratch& w, const double* __restrict pk,
    const double* __restrict Hk, const double* __restrict Hkm, uword IJ, int k, double dtau,
    const double* __restrict fzc, double* __restrict fzn, double* __restrict Out) {
  const uword I = uword(plan.rings), W = IJ - I;
  const double* __restrict pkp = pk + IJ;
  const double* __restrict gphi = plan.gphi_c.data();
  const double* __restrict invA = plan.invA_c.data();
  const double* __restrict Fo = w.Fo.data();
  double* __restrict fp = w.fp.data();
  const double invdzs = plan.invdzs[k], invdz = plan.invdz[k];
  const double vzdtau = plan.vzdtau;
  for (uword c = 0; c < W; ++c) fp[c] = gphi[c] * (pk[c + I] - pk[c]);
  for (uword c = W; c < IJ; ++c) fp[c] = gphi[c] * (pk[c - W] - pk[c]);
  for (uword c = 0; c < IJ; ++c) fzn[c] = (pkp[c] - pk[c]) * invdzs;
  const auto update = [&](uword c, double ang) {
    const double rad = (Fo[c] - Fo[c - 1]) * invA[c];
    const double ax = (fzn[c] - fzc[c]) * invdz;
    const double adv = ((Hkm[c] - Hk[c]) * invdz) * vzdtau;
    Out[c] = ((rad + ang) + ax) * dtau + Hk[c] + adv;
  };
  for (uword c = 1; c < I; ++c) update(c, fp[c] - fp[c + W]);
  for (uword c = I; c < IJ; ++c) update(c, fp[c] - fp[c - I]);
}

// Ring i of slice k with its angular conduction at the new Kirchhoff
// potential, linearised about the old one, phi_new = phi + phi'(H) delta
// (phi' = lambda dT/dH on the table's line, see LinearTable::PhiSlope): the
// change delta_j = H_new - H of sector j solves
//   (1 + 2 s_j) delta_j - s_{j-1} delta_{j-1} - s_{j+1} delta_{j+1} = Out_j - H_j,
//   s_j = dtau phi'(H_j) / (rc dphi)^2,
// with the explicit update Out (the angular fluxes of the old potential in
// it) on the right and sector J-1 beside sector 0. Every column of the
// matrix sums to one, so the solve only moves heat around the ring and the
// balance stays exact to rounding; every diagonal outweighs the rest of its
// column, so elimination needs no pivoting and no arc, however short, limits
// the step. The closed ring makes the system periodic: the Thomas algorithm
// on the matrix with its two corners taken out and its first and last
// diagonal corrected (gamma = -b_0), for the right-hand side and for the
// corners' vector u = (gamma, 0, ..., 0, alpha), then the Sherman-Morrison
// correction. The arrays are the thread's, so a slice's result is the same
// on any thread.
static void ImplicitRing(const CylinderStep& plan, CylinderStep::Scratch& w,
                         const LinearTable& tab, int i, const double* Hk, double* Out,
                         double dtau) {
  const uword I = uword(plan.rings), J = uword(plan.sectors), r = uword(i);
  const double s = dtau * plan.gphi_c[r];
  double* cp = w.couple.data();
  double* up = w.upper.data();
  double* x = w.x.data();
  double* z = w.z.data();
  for (uword j = 0; j < J; ++j) {
    const uword c = r + I * j;
    cp[j] = s * tab.PhiSlope(Hk[c]);
    x[j] = Out[c] - Hk[c];
  }
  // Row j: -cp[j-1] below the diagonal, 1 + 2 cp[j] on it, -cp[j+1] above;
  // the corners are row 0's -cp[J-1] (beta) and row J-1's -cp[0] (alpha).
  const double b0 = 1.0 + 2.0 * cp[0];
  const double gamma = -b0, alpha = -cp[0], beta = -cp[J - 1];
  double inv = 1.0 / (b0 - gamma);
  up[0] = -cp[1] * inv;
  x[0] = x[0] * inv;
  z[0] = gamma * inv;
  for (uword j = 1; j < J; ++j) {
    const double below = -cp[j - 1];
    double diag = 1.0 + 2.0 * cp[j];
    if (j + 1 == J) diag -= alpha * beta / gamma;
    inv = 1.0 / (diag - below * up[j - 1]);
    up[j] = j + 1 < J ? -cp[j + 1] * inv : 0.0;
    x[j] = (x[j] - below * x[j - 1]) * inv;
    z[j] = ((j + 1 == J ? alpha : 0.0) - below * z[j - 1]) * inv;
  }
  for (uword j = J - 1; j-- > 0;) {
    x[j] -= up[j] * x[j + 1];
    z[j] -= up[j] * z[j + 1];
  }
  const double f = (x[0] + beta * x[J - 1] / gamma) / (1.0 + z[0] + beta * z[J - 1] / gamma);
  for (uword j = 0; j < J; ++j) {
    const uword c = r + I * j;
    Out[c] = Hk[c] + (x[j] - f * z[j]);
  }
}

void CylinderStep::Advance(StrandModel& m, const cube& H_old, cube& H, cube& T_new) {
  CylinderStep& plan = *this;
  const int I = plan.rings, J = plan.sectors, K = plan.slices;
  const uword IJ = uword(I) * J;
  const double* Tp = m.field.T.memptr();
  const double* Hop = H_old.memptr();
  const double* pp = plan.phi.data();
  double* Hp = H.memptr();
  double* Tn = T_new.memptr();
  double* pn = plan.phi_new.data();
  const double* area = plan.area_c.data();
  double surface = 0.0, carried_in = 0.0, carried_out = 0.0;

  ForSliceRuns(plan.choice, K, [&](int first, int end, int thread) {
    CylinderStep::Scratch& w = plan.scratch[thread];
    double* Fo = w.Fo.data();
    double* fzc = w.fz_a.data();  // axial fluxes through the face below the slice in work
    double* fzn = w.fz_b.data();  // and above it, the next slice's fzc
    // The flux below the run's first slice, as the slice before it would have
    // handed it on; none through the meniscus.
    if (first == 0) {
      std::fill(fzc, fzc + IJ, 0.0);
    } else {
      const uword b = IJ * (first - 1);
      for (uword c = 0; c < IJ; ++c)
        fzc[c] = (pp[b + IJ + c] - pp[b + c]) * plan.invdzs[first - 1];
    }

    for (int k = first; k < end; ++k) {
      const double* Tk = Tp + IJ * k;
      const double* Hk = Hop + IJ * k;
      const double* pk = pp + IJ * k;
      const double* Hkm = k == 0 ? plan.inflow.data() : Hk - IJ;
      double* Out = Hp + IJ * k;

      RadialFaces(plan, Fo, pk, IJ);
      double lost = 0.0;
      for (int j = 0; j < J; ++j) {
        const uword c = uword(I) * j + I - 1;
        double q, Ts, t, rho;
        m.material.ConstLin.FromEnthalpy(Hk[c], t, rho);
        SurfaceFlux(SurfaceLawAt(m, j, k), plan.air, Tk[c], plan.hw_s, rho, q, Ts);
        Fo[c] = -(plan.R_s * q);
        lost += q;
      }
      plan.slice_loss[k] = lost * (plan.R_s * plan.dphi * m.grid.dz(k));

      CylinderSlice(plan, w, pk, Hk, Hkm, IJ, k, m.dtau, fzc, fzn, Out);

      // The disc on the axis: the mean over its sectors of what ring 1 gives it.
      double s = 0.0;
      for (int j = 0; j < J; ++j) s += Fo[uword(I) * j];
      const double rad0 = s * plan.invA0;
      const double ax0 = (fzn[0] - fzc[0]) * plan.invdz[k];
      const double adv0 = ((Hkm[0] - Hk[0]) * plan.invdz[k]) * plan.vzdtau;
      const double h0 = (rad0 + ax0) * m.dtau + Hk[0] + adv0;
      for (int j = 0; j < J; ++j) Out[uword(I) * j] = h0;
      for (int i : plan.implicit_rings)
        ImplicitRing(plan, w, m.material.ConstLin, i, Hk, Out, m.dtau);

      if (k == plan.lo)
        for (uword c = 0; c < IJ; ++c) carried_in += area[c] * (m.vz * Hkm[c] - fzc[c]);
      if (k == K - 2)
        for (uword c = 0; c < IJ; ++c) carried_out += area[c] * (m.vz * Hk[c] - fzn[c]);
      std::swap(fzc, fzn);

      FromEnthalpies(m.material.ConstLin, Out, Tn + IJ * k, pn + IJ * k, IJ);
    }
  }, plan.lo);
  for (int k = plan.lo; k < K - 1; ++k) surface += plan.slice_loss[k];
  m.energy.surface_out += surface * m.dtau;
  m.energy.carried_in += carried_in * m.dtau;
  m.energy.carried_out += carried_out * m.dtau;

  // Outlet: a copy of the slice before it.
  const uword last = IJ * (K - 1), before = IJ * (K - 2);
  std::copy(Hp + before, Hp + last, Hp + last);
  std::copy(Tn + before, Tn + last, Tn + last);
  std::copy(pn + before, pn + last, pn + last);

  // Inlet slice, when the inlet's rule sets it.
  switch (rule.inlet) {
    case InletKind::Fixed:  // updated above, fed through the face at z = 0
      return;
    case InletKind::ZeroGradient:
      std::copy(Hp + IJ, Hp + 2 * IJ, Hp);
      std::copy(Tn + IJ, Tn + 2 * IJ, Tn);
      std::copy(pn + IJ, pn + 2 * IJ, pn);
      return;
    case InletKind::Field:
      std::copy(rule.H_field.memptr(), rule.H_field.memptr() + IJ, Hp);
      FromEnthalpies(m.material.ConstLin, Hp, Tn, pn, IJ);
      return;
    case InletKind::Free:
      std::copy(Hop, Hop + IJ, Hp);
      std::copy(Tp, Tp + IJ, Tn);
      std::copy(pp, pp + IJ, pn);
      return;
  }
}

mat CylinderStep::SurfaceField(const StrandModel& m) {
  mat Ts(m.grid.ndphi, m.grid.ndz, fill::zeros);
  const CylinderStep plan(m, StepRule());
  for (int k = 0; k < m.grid.ndz; ++k)
    for (int j = 0; j < m.grid.ndphi; ++j) Ts(j, k) = plan.SurfaceTemperature(m, j, k);
  return Ts;
}

double CylinderStep::Enthalpy(const Material& material, double t) {
  return material.ConstLin.Enthalpy(t);
}

double CylinderStep::SurfaceTemperature(const StrandModel& m, int j, int k) const {
  const CylinderStep& plan = *this;
  double t, q, rho, Ts;
  const double Tc = m.field.T(m.grid.ndr - 1, j, k);
  m.material.ConstLin.FromEnthalpy(m.material.ConstLin.Enthalpy(Tc), t, rho);
  SurfaceFlux(SurfaceLawAt(m, j, k), plan.air, Tc, plan.hw_s, rho, q, Ts);
  return Ts;
}

// The cylindrical step weighs a cell's old enthalpy by 1 - dtau (a G + vz/dz)
// with a = lambda / c and G the sum of its faces' conductances per volume:
//   radial  (rf(i+1) / ((dr(i) + dr(i+1))/2) + rf(i) / ((dr(i-1) + dr(i))/2)) / (rc dr),
//   angular 2 / (rc dphi)^2 (none in the disc on the axis),
//   axial   2 / dz^2,
// and at the surface the loss R h_s / (rc dr). The step draws the surface
// flux from the outer ring's centre through half a ring of steel, so the
// coefficient it applies to the ring's temperature is
//   h_s = h / (1 + h (dr/2) / lambda),
// taken with the largest htc the strand meets (the mould's, the sprays' plus
// natural convection and radiation at the casting temperature) and the
// largest conductivity. However high h, h_s stays below 2 lambda / dr: a
// quench of 1e6 W/(m^2 K) limits the step no more than a conductive
// neighbour does. A ring whose angular term would break that weight takes
// the angular conduction implicitly (ImplicitRing), which keeps the weight
// of every other term and removes the angular one from the bound; every ring
// of 3 sectors or more may, so the bound is
//   dtau <= 1 / (max_i (a G_rad(i) + R h_s / (rc dr c) [outer ring])
//                + 2 a / dz_min^2 + |vz| / dz_min),
// the radial, surface, axial and transport terms alone, which fall with dr^2
// rather than with the inner rings' arcs (rc dphi)^2. A ring of fewer
// sectors, if ever, keeps its angular term.
double CylinderStep::StableStep(const StrandModel& m, double speed, double lambda_max,
                                double c_min) {
  const RingRates rates = RatesOfRings(m, speed, lambda_max, c_min);
  const bool ring_implicit = m.grid.ndphi >= 3;
  double worst = 0.0;
  for (int i = 0; i < m.grid.ndr; ++i)
    worst = std::max(worst, i > 0 && ring_implicit ? rates.without_angle[uword(i)]
                                                   : rates.full[uword(i)]);
  return 1.0 / ((worst + rates.axial) + rates.transport);
}

double CylinderStep::ExplicitStep(const StrandModel& m, double speed, double lambda_max,
                                  double c_min) {
  const RingRates rates = RatesOfRings(m, speed, lambda_max, c_min);
  double shortest = datum::inf;
  for (int i = 0; i < m.grid.ndr; ++i) shortest = std::min(shortest, rates.Bound(i));
  return shortest;
}

}  // namespace tepora
