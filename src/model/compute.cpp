// The transient solvers: the whole strand (simulator) and one element of it
// (optimiser), one shared time step with their own inlet and surface law.
#include "tepora.h"

const char* FormulationName(Formulation f) {
  return f == Formulation::Flat ? "flat" : "cylindrical";
}

// Placeholder until the cylindrical surface law lands: the outer ring.
double Tepora::SurfaceTemperature(int j, int k) { return T(ndr - 1, j, k); }

mat SectorProfile(const cube& T) {
  mat TempProfile(T.n_rows, T.n_slices);
  for (uword k = 0; k < T.n_slices; ++k)
    for (uword i = 0; i < T.n_rows; ++i) TempProfile(i, k) = T(i, 1, k);
  return TempProfile;
}

void Visualise(const char* fnameOctave) {
  char str[100];
  std::snprintf(str, sizeof str, "cd TeporaOut; octave -q --eval \"visualiseF('%s')\";exit",
                fnameOctave);
  // Octave is a viewer only: a failing command leaves the results as they are.
  std::fflush(stdout);
  if (std::system(str) != 0) {
  }
}

// Advances T by pmax steps. H enters as the enthalpy of T and leaves as the
// enthalpy of the last step; the buffers are swapped, never copied.
void Tepora::RunSteps(int pmax, const StepRule& rule, cube& H, bool progress) {
  StepPlan plan = Plan(rule);
  cube H_new(arma::size(T));
  cube T_new(arma::size(T));
  while (p < pmax) {
    Step(rule, plan, H, H_new, T_new);
    T.swap(T_new);
    if (progress && p % 500 == 0) std::cout << p << "          out of " << pmax << "\n";
    ++p;
    H.swap(H_new);
  }
}

cube Tepora::Compute(int pmax, char swtch) {
  cube H = TempToEn(T);
  p = 0;
  if (pmax > 0) {
    StepRule rule;
    if (swtch == 'y') {
      rule.inlet = InletKind::Fixed;
      rule.H_inlet = getConstT(T_in, 'h');
    } else {
      rule.inlet = swtch == 'n' ? InletKind::ZeroGradient : InletKind::Free;
    }
    RunSteps(pmax, rule, H, true);
  }
  SaveWhole(H, "TeporaOut/H_0.cub");
  SaveWhole(T, "TeporaOut/T_0_final.cub");
  const char fnameOctave[] = "TempProfile_final.mat";
  char str0[50];
  std::snprintf(str0, sizeof str0, "TeporaOut/%s", fnameOctave);
  SaveWhole(SectorProfile(T), str0);
  Visualise(fnameOctave);
  return T;
}

// Element ind of the optimiser's strand: the inlet of element 0 is the
// casting temperature and only element 0 holds the mould; every later element
// takes its inlet slice from the upstream field T_L.
cube Tepora::ComputeOpt(int ind, int pmax, cube T_L) {
  cube H = TempToEn(T);
  p = 0;
  if (pmax > 0) {
    StepRule rule;
    rule.mould = ind == 0;
    rule.whole_emissivity = true;
    if (ind == 0) {
      rule.inlet = InletKind::Fixed;
      rule.H_inlet = getConstT(T_in, 'h');
    } else {
      rule.inlet = InletKind::Field;
      rule.H_field.set_size(ndr, ndphi);
      for (int j = 0; j < ndphi; ++j)
        for (int i = 0; i < ndr; ++i) rule.H_field(i, j) = getConstT(T_L(i, j, 0), 'h');
    }
    RunSteps(pmax, rule, H, false);
  }
  SaveWhole(T, "TeporaOut/T_0.cub");
  SaveWhole(SectorProfile(T), "TeporaOut/TempProfile_part.mat");
  return T;
}
