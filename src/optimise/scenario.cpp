// One element of the strand (a scenario): its htc chosen from a grid of
// candidates, each simulated from the element's current field and scored by
// the temperature at the element's control point.
#include <climits>

#include "optimise.h"
#include "tepora.h"

// The element's field and htc packed as one vector, simulated and optimised;
// returns the part that belongs to the element alone (for every element
// after the first, without the leading slices it shares with the one before)
// and keeps the leading shared values in X_L(ind).
vec Optimise::CompScen(int ind, cube& T_old, vec Param, vec& X_av_old, cube& Tf, double htcl) {
  const double v_z = X_av_old(X_av_old.n_elem - 1);
  vec X_s(T_old.n_elem + 1);
  X_s.head(T_old.n_elem) = ToVect(T_old);
  X_s(T_old.n_elem) = Param(ind);
  if (opt) {
    vec Xhelp = X_s.head(T_old.n_elem);
    X_s.subvec(0, X_s.n_elem - 1) = OptimiseScen(ind, Xhelp, v_z, Tf, htcl);
  }
  const uword K = uword(ndr * ndphi * n_offset);
  X_L(ind) = X_s.head(K);
  if (ind != 0) return X_s.tail(X_s.n_elem - K);
  return X_s;
}

// Deviation in whole degrees (truncated toward zero); a deviation that is
// not a finite number of 32-bit size ranks after every other.
static double Objective(double d) {
  const double t = std::trunc(d);
  if (!(t >= double(INT_MIN) && t <= double(INT_MAX))) return datum::inf;
  return std::fabs(t);
}

// The search grid, built by repeated addition of the step: whether htcmax
// itself is reached follows from the rounding of the sums.
std::vector<double> Optimise::CandidateHtcs() const {
  std::vector<double> htcs;
  for (double htc = htcmin; htc <= htcmax; htc += htc_step) htcs.push_back(htc);
  return htcs;
}

// The air-cooled end zone reaches into an element only as far as it is
// longer than the elements downstream of it.
double Optimise::TertiaryLengthOf(int ind) const {
  double length = RealTertiaryLength;
  for (int i = nElem - 2; i >= ind; --i)
    length = length - (nElem - 1 - i) * dz0 * double(Elem(i + 1).n_slices - n_offset);
  return length;
}

vec Optimise::OptimiseScen(int ind, vec& pElemi, double v_z, cube& Tf, double htcl) {
  // The element is scored at its last control point (at point 0's indices
  // when it holds none).
  uword CPIndex = 0;
  for (uword c = 0; c < CP.CPMat.n_rows; ++c)
    if (ElemOfCP(c) == double(ind)) CPIndex = c;

  const double TertLengthforElem = TertiaryLengthOf(ind);

  const int r = int(Elem(ind).n_rows), c = int(Elem(ind).n_cols), s = int(Elem(ind).n_slices);
  const uword a = uword(CP.CPMat(CPIndex, 0)), b = uword(CP.CPMat(CPIndex, 1)),
              k = uword(CP.CPMat(CPIndex, 2));
  const double target = CP.CPMat(CPIndex, 3);

  // The first of equal objectives (the smallest htc) wins.
  vec best;
  double best_htc = 0, best_obj = datum::inf, best_diff = datum::nan;
  bool first = true;
  for (double htc : CandidateHtcs()) {
    if (abandon && abandon->load()) throw IterationAbandoned();
    cube T_old = DeVect(pElemi, r, c, s);
    Tepora U(dr0, dz0, dphi, T_old, ConstM, v_z, T_inf, dtau, htc, TertLengthforElem, htcl,
             n_offset);
    U.model = model;
    U.CrystallizerLength = zones.mould_length;
    U.htc_k = zones.mould_htc;
    U.T_k = zones.coolant;
    SaveScratch(T_old, "T_old.cub");
    SaveScratch(Tf, "Tf.vec");
    cube T1 = U.ComputeOpt(ind, Heatpmax, Tf);
    U.erase();
    const double diff = T1(a, b, k) - target;
    const double obj = Objective(diff);
    if (first || obj < best_obj) {
      best = ToVect(T1);
      best_htc = htc;
      best_obj = obj;
      best_diff = diff;
      first = false;
    }
  }

  OptimalHtcs(ind) = best_htc;
  char line[96];
  if (best_obj == datum::inf) {
    ScenErr[ind] = "warning: scenario " + std::to_string(ind + 1) +
                   ": no candidate htc gave a finite deviation; the smallest htc is kept\n";
    std::snprintf(line, sizeof line, "\n\n Scenario %d \n: Minimal ObjFValue: %g \n", ind + 1,
                  best_diff);
  } else {
    ScenErr[ind].clear();
    std::snprintf(line, sizeof line, "\n\n Scenario %d \n: Minimal ObjFValue: %d \n", ind + 1,
                  int(best_diff));
  }
  ScenOut[ind] = line;
  vec result(best.n_elem + 1);
  result.head(best.n_elem) = best;
  result(best.n_elem) = best_htc;
  return result;
}
