// The drivers of the model: a run of steps of the chosen formulation, the
// whole strand (simulator) and a piece of it (optimiser), with their inlet
// and mould rules.
#include <type_traits>
#include <variant>

#include "model/formulations.h"
#include "model/tepora.h"

namespace tepora {

const char* FormulationName(Formulation f) {
  return f == Formulation::Flat ? "flat" : "cylindrical";
}

double Tepora::SurfaceTemperature(int j, int k) { return SurfaceField()(j, k); }

double Tepora::EnthalpyAt(double t) const {
  return WithFormulation(model,
                         [&](auto kind) { return decltype(kind)::type::Enthalpy(material, t); });
}

cube Tepora::EnthalpyOf(const cube& T) const {
  cube H(arma::size(T));
  WithFormulation(model, [&](auto kind) {
    for (uword c = 0; c < T.n_elem; ++c) H(c) = decltype(kind)::type::Enthalpy(material, T(c));
  });
  return H;
}

mat Tepora::SurfaceField() const {
  return WithFormulation(model,
                         [&](auto kind) { return decltype(kind)::type::SurfaceField(*this); });
}

mat SectorProfile(const cube& T) {
  mat TempProfile(T.n_rows, T.n_slices);
  for (uword k = 0; k < T.n_slices; ++k)
    for (uword i = 0; i < T.n_rows; ++i) TempProfile(i, k) = T(i, 1, k);
  return TempProfile;
}

// Advances T by pmax steps. H enters as the enthalpy of T and leaves as the
// enthalpy of the last step; the buffers are swapped, never copied.
void Tepora::RunSteps(int pmax, const StepRule& rule, cube& H, bool progress) {
  WithFormulation(model, [&](auto kind) {
    typename decltype(kind)::type step(*this, rule);
    step.Start(*this, H);
    StepsFrom(step, H, pmax, progress);
  });
}

// The steps from p up to pmax of a formulation whose start is made; the
// heat balance of the run where the formulation keeps one.
template <class S>
void Tepora::StepsFrom(S& step, cube& H, int pmax, bool progress) {
  cube H_new(arma::size(field.T));
  cube T_new(arma::size(field.T));
  energy = EnergyAccount();
  energy.kept = S::kBalanced;
  if (S::kBalanced) energy.content_start = step.HeatContent(*this, H);
  while (p < pmax) {
    if (p == snapshot_step) field.snapshot = field.T;
    if constexpr (std::is_same_v<S, CylinderStep>)
      if (hook) {
        hook->Before(*this, p);
        step.Follow(*this);
      }
    step.Advance(*this, H, H_new, T_new);
    field.T.swap(T_new);
    step.Advanced();
    if (progress && p % 500 == 0) std::cout << p << "          out of " << pmax << "\n";
    ++p;
    H.swap(H_new);
    if constexpr (std::is_same_v<S, CylinderStep>)
      if (hook) hook->After(*this, H, p);
  }
  if (progress && pmax > 0) std::cout << pmax << "          out of " << pmax << "\n";
  if (S::kBalanced) energy.content_end = step.HeatContent(*this, H);
}

// The inlet's rule: steel at the casting temperature's enthalpy (Fixed), or
// slice 0 held at the enthalpy of the upstream face's temperatures (Field,
// degC), or one of the undriven inlets.
StepRule Tepora::InletRule(InletKind inlet, bool mould, const mat& upstream) const {
  StepRule rule;
  rule.inlet = inlet;
  rule.mould = mould;
  if (inlet == InletKind::Fixed) rule.H_inlet = EnthalpyAt(T_in);
  if (inlet == InletKind::Field) {
    rule.H_field.set_size(grid.ndr, grid.ndphi);
    for (int j = 0; j < grid.ndphi; ++j)
      for (int i = 0; i < grid.ndr; ++i) rule.H_field(i, j) = EnthalpyAt(upstream(i, j));
  }
  return rule;
}

cube Tepora::Compute(int pmax, char swtch) {
  cube H = EnthalpyOf(field.T);
  p = 0;
  if (pmax > 0) {
    const InletKind inlet = swtch == 'y'   ? InletKind::Fixed
                            : swtch == 'n' ? InletKind::ZeroGradient
                                           : InletKind::Free;
    RunSteps(pmax, InletRule(inlet, true, mat()), H, true);
    if (energy.kept) PrintEnergyBalance(energy);
  }
  field.H_final = H;
  SaveWhole(H, "TeporaOut/H_0.cub");
  SaveWhole(field.T, "TeporaOut/T_0_final.cub");
  const char fnameOctave[] = "TempProfile_final.mat";
  char str0[50];
  std::snprintf(str0, sizeof str0, "TeporaOut/%s", fnameOctave);
  SaveWhole(SectorProfile(field.T), str0);
  return field.T;
}

cube Tepora::ComputeOpt(const PieceBounds& bounds, int pmax) {
  p = 0;
  if (pmax > 0) RunPiece(StartPiece(bounds), pmax);
  SaveWhole(field.T, "TeporaOut/T_0.cub");
  SaveWhole(SectorProfile(field.T), "TeporaOut/TempProfile_part.mat");
  return field.T;
}

// The model's field is left as it is: the start's temperature, recomputed
// from enthalpy by the formulation's start, is kept beside it. The flat step
// of a piece truncates the emissivity's exponent (which the cylindrical step
// does not read).
PieceStart Tepora::StartPiece(const PieceBounds& bounds) {
  PieceStart start;
  StepRule rule = InletRule(bounds.inlet, bounds.mould, bounds.upstream);
  rule.whole_emissivity = true;
  start.H = EnthalpyOf(field.T);
  WithFormulation(model, [&](auto kind) {
    using S = typename decltype(kind)::type;
    start.step = S(*this, rule);
    const cube held = field.T;
    std::get<S>(start.step).Start(*this, start.H);
    start.T = field.T;
    field.T = held;
  });
  return start;
}

// Steps on copies of the start's fields and constants, so that any number
// of runs can start from one start at once; no step leaves T as it was.
void Tepora::RunPiece(const PieceStart& start, int pmax) {
  p = 0;
  if (pmax <= 0) return;
  field.T = start.T;
  cube H = start.H;
  AnyStep step = start.step;
  std::visit([&](auto& s) { StepsFrom(s, H, pmax, false); }, step);
}

}  // namespace tepora
