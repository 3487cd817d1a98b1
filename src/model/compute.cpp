// The transient solvers: the whole strand (simulator) and one element of it
// (optimiser), one shared time step with their own inlet and surface law.
#include "tepora.h"

const char* FormulationName(Formulation f) {
  return f == Formulation::Flat ? "flat" : "cylindrical";
}

// One line: the heat that left through the surface and the ends against the
// fall of the strand's heat content over the run.
void PrintEnergyBalance(const EnergyAccount& e) {
  std::printf(
      "Energy balance: surface %.6e J + outlet %.6e J - inlet %.6e J = content fall %.6e J "
      "(residual %.1e of the largest term)\n",
      e.surface_out, e.carried_out, e.carried_in, e.content_start - e.content_end,
      e.Scale() > 0 ? std::fabs(e.Residual()) / e.Scale() : 0.0);
}

double Tepora::SurfaceTemperature(int j, int k) { return SurfaceField()(j, k); }

double Tepora::EnthalpyAt(double t) {
  return model == Formulation::Flat ? material.getConstT(t, 'h') : material.ConstLin.Enthalpy(t);
}

cube Tepora::EnthalpyOf(const cube& field) {
  cube H(arma::size(field));
  for (uword c = 0; c < field.n_elem; ++c) H(c) = EnthalpyAt(field(c));
  return H;
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
  if (model == Formulation::Cylindrical) {
    CylinderPlan plan = PlanCylinder(rule);
    StartCylinder(plan, H);
    StepsFrom(rule, plan, H, pmax, progress);
    return;
  }
  StepPlan plan = Plan(rule);
  StepsFrom(rule, plan, H, pmax, progress);
}

// The steps from p up to pmax on a plan the start has been made on (for the
// cylindrical step, StartCylinder has set T and the Kirchhoff potential from H).
void Tepora::StepsFrom(const StepRule& rule, CylinderPlan& plan, cube& H, int pmax,
                       bool progress) {
  cube H_new(arma::size(field.T));
  cube T_new(arma::size(field.T));
  energy = EnergyAccount();
  energy.content_start = HeatContent(plan, H);
  while (p < pmax) {
    if (p == snapshot_step) field.snapshot = field.T;
    StepCylinder(rule, plan, H, H_new, T_new);
    field.T.swap(T_new);
    plan.phi.swap(plan.phi_new);
    if (progress && p % 500 == 0) std::cout << p << "          out of " << pmax << "\n";
    ++p;
    H.swap(H_new);
  }
  if (progress && pmax > 0) std::cout << pmax << "          out of " << pmax << "\n";
  energy.content_end = HeatContent(plan, H);
}

void Tepora::StepsFrom(const StepRule& rule, StepPlan& plan, cube& H, int pmax, bool progress) {
  cube H_new(arma::size(field.T));
  cube T_new(arma::size(field.T));
  while (p < pmax) {
    if (p == snapshot_step) field.snapshot = field.T;
    Step(rule, plan, H, H_new, T_new);
    field.T.swap(T_new);
    if (progress && p % 500 == 0) std::cout << p << "          out of " << pmax << "\n";
    ++p;
    H.swap(H_new);
  }
  if (progress && pmax > 0) std::cout << pmax << "          out of " << pmax << "\n";
}

cube Tepora::Compute(int pmax, char swtch) {
  cube H = EnthalpyOf(field.T);
  p = 0;
  if (pmax > 0) {
    StepRule rule;
    if (swtch == 'y') {
      rule.inlet = InletKind::Fixed;
      rule.H_inlet = EnthalpyAt(T_in);
    } else {
      rule.inlet = swtch == 'n' ? InletKind::ZeroGradient : InletKind::Free;
    }
    RunSteps(pmax, rule, H, true);
    if (model == Formulation::Cylindrical) PrintEnergyBalance(energy);
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

// Element ind of the optimiser's strand: the inlet of element 0 is the
// casting temperature and only element 0 holds the mould; every later element
// takes its inlet slice from the upstream field T_L.
cube Tepora::ComputeOpt(int ind, int pmax, cube T_L) {
  p = 0;
  if (pmax > 0) RunElement(StartElement(ind, T_L), pmax);
  SaveWhole(field.T, "TeporaOut/T_0.cub");
  SaveWhole(SectorProfile(field.T), "TeporaOut/TempProfile_part.mat");
  return field.T;
}

// The model's field is left as it is: the start's temperature, recomputed
// from enthalpy in the cylindrical step, is kept beside it.
ElementStart Tepora::StartElement(int ind, const cube& T_L) {
  ElementStart start;
  StepRule& rule = start.rule;
  rule.mould = ind == 0;
  rule.whole_emissivity = model == Formulation::Flat;
  if (ind == 0) {
    rule.inlet = InletKind::Fixed;
    rule.H_inlet = EnthalpyAt(T_in);
  } else {
    rule.inlet = InletKind::Field;
    rule.H_field.set_size(grid.ndr, grid.ndphi);
    for (int j = 0; j < grid.ndphi; ++j)
      for (int i = 0; i < grid.ndr; ++i) rule.H_field(i, j) = EnthalpyAt(T_L(i, j, 0));
    if (model == Formulation::Cylindrical) {  // one disc on the axis
      double disc = 0.0;
      for (int j = 0; j < grid.ndphi; ++j) disc += rule.H_field(0, j);
      rule.H_field.row(0).fill(disc / double(grid.ndphi));
    }
  }
  start.H = EnthalpyOf(field.T);
  if (model == Formulation::Cylindrical) {
    start.cyl = PlanCylinder(rule);
    const cube held = field.T;
    StartCylinder(start.cyl, start.H);
    start.T = field.T;
    field.T = held;
  } else {
    start.flat = Plan(rule);
    start.T = field.T;
  }
  return start;
}

// Steps on copies of the start's fields and plan, so that any number of
// runs can start from one start at once; no step leaves T as it was.
void Tepora::RunElement(const ElementStart& start, int pmax) {
  p = 0;
  if (pmax <= 0) return;
  field.T = start.T;
  cube H = start.H;
  if (model == Formulation::Cylindrical) {
    CylinderPlan plan = start.cyl;
    StepsFrom(start.rule, plan, H, pmax, false);
  } else {
    StepPlan plan = start.flat;
    StepsFrom(start.rule, plan, H, pmax, false);
  }
}
