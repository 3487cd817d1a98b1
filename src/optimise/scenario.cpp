// One element of the strand (a scenario): its htc chosen from a grid of
// candidates, each simulated from the element's current field and scored by
// the temperature at the element's control point.
#include <climits>

#include "optimise/element_bounds.h"
#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

// Deviation in whole degrees (truncated toward zero); a deviation that is
// not a finite number of 32-bit size ranks after every other.
static double Objective(double d) {
  const double t = std::trunc(d);
  if (!(t >= double(INT_MIN) && t <= double(INT_MAX))) return datum::inf;
  return std::fabs(t);
}

// The search grid, built by repeated addition of the step: whether the
// highest htc itself is reached follows from the rounding of the sums.
std::vector<double> Optimise::CandidateHtcs() const {
  std::vector<double> htcs;
  for (double htc = settings.lowest_htc; htc <= settings.highest_htc; htc += settings.htc_step)
    htcs.push_back(htc);
  return htcs;
}

// The length of the air-cooled end zone in element ind. In the cylindrical
// step an element is air-cooled on exactly the slices the air cooling holds
// in the whole strand, wherever along the strand they lie: a whole number of
// slices, so that the element's rule, which reads the zone from its own end,
// marks them with half a slice to spare. The flat step keeps its earlier
// rule, which takes the downstream elements' own lengths weighted 1, 2, 3, ...
// off the zone and so leaves an element two or more places upstream of the
// last without the air cooling it holds.
double Optimise::TertiaryLengthOf(int ind) const {
  if (model == Formulation::Flat) {
    double length = RealTertiaryLength;
    const int n = settings.elements;
    for (int i = n - 2; i >= ind; --i)
      length = length - (n - 1 - i) * dz0 * double(elements[size_t(i) + 1].field.n_slices - n_offset);
    return length;
  }
  const std::vector<char> air = AirCooledSlices(vec(uword(ndz), fill::value(dz0)),
                                                RealTertiaryLength);
  long slices = 0;
  for (long k = layout.elem[size_t(ind)].first; k <= layout.elem[size_t(ind)].last; ++k)
    slices += air[size_t(k)];
  return double(slices) * dz0;
}

ElementResult Optimise::SearchElement(int ind, const cube& field, double v_z, const cube& Tf,
                                      double htcl) {
  ElementSearch s;
  PrepareSearch(ind, field, v_z, Tf, htcl, s);
  const std::vector<double> htcs = CandidateHtcs();
  for (size_t c = 0; c < htcs.size(); ++c) {
    if (abandon && abandon->load()) throw IterationAbandoned();
    RunCandidate(s, long(c), htcs[c], c + 1 == htcs.size());
  }
  return FinishSearch(ind, std::move(s.best));
}

// Everything of an element's search but the candidate's htc. Building the
// model and its start (the enthalpy field, the step's constants, the inlet
// slice's enthalpies) costs a few steps; done once, it is shared by every
// candidate instead of repeated for each.
void Optimise::PrepareSearch(int ind, const cube& field, double v_z, const cube& Tf,
                             double htcl, ElementSearch& s) {
  // The element is scored at its last control point (at point 0's indices
  // when it holds none).
  uword CPIndex = 0;
  for (uword c = 0; c < CP.CPMat.n_rows; ++c)
    if (ElemOfCP(c) == double(ind)) CPIndex = c;

  const double TertLengthforElem = TertiaryLengthOf(ind);

  s.a = uword(CP.CPMat(CPIndex, 0));
  s.b = uword(CP.CPMat(CPIndex, 1));
  s.k = uword(CP.CPMat(CPIndex, 2));
  s.r = CPRadius(CPIndex);
  s.target = CP.CPMat(CPIndex, 3);
  s.htcl = htcl;
  s.T_old = field;
  s.Tf = Tf;
  s.model = std::make_unique<Tepora>(dr0, dz0, dphi, s.T_old, ConstM, v_z, T_inf, dtau,
                                     settings.lowest_htc, TertLengthforElem, htcl, n_offset);
  Tepora& U = *s.model;
  U.model = model;
  U.cooling.CrystallizerLength = zones.mould_length;
  U.cooling.htc_k = zones.mould_htc;
  U.cooling.T_k = zones.coolant;
  const PieceBounds bounds = ElementBounds(ind, Tf);
  if (settings.element_steps > 0) {
    s.start = U.StartPiece(bounds);
  } else if (model == Formulation::Cylindrical) {
    StepRule rule;  // without a run, the surface law the run would apply
    rule.mould = bounds.mould;
    s.start.step = CylinderStep(U, rule);
  }
  s.best = ElementWinner();
}

// One candidate: the element model with the candidate's htc on the slices
// past the shared ones (as the element constructor sets them), run from the
// shared start. The iteration's last pair also leaves its start field,
// inlet slice and simulated field in files, the same whichever thread or
// rank runs it.
void Optimise::RunCandidate(ElementSearch& s, long candidate, double htc, bool last) {
  Tepora U = *s.model;
  U.cooling.SetCoolM(U.grid, htc, s.htcl, n_offset);
  if (last) {
    SaveScratch(s.T_old, "T_old.cub");
    SaveScratch(s.Tf, "Tf.vec");
  }
  U.RunPiece(s.start, settings.element_steps);
  if (last) {
    SaveWhole(U.field.T, "TeporaOut/T_0.cub");
    SaveWhole(SectorProfile(U.field.T), "TeporaOut/TempProfile_part.mat");
  }
  ElementWinner seen;
  seen.diff = PointReading(U, s) - s.target;
  seen.obj = Objective(seen.diff);
  seen.candidate = candidate;
  const std::lock_guard<std::mutex> hold(s.lock);
  if (!WinsOver(seen, s.best)) return;
  seen.field = std::move(U.field.T);
  s.best = std::move(seen);
}

// The temperature the element's point reads in the field the candidate
// left: in the cylindrical step by the rule of PointTemperature, with the
// surface law the run applied (the element's mould, sprays and air); in the
// flat step the cell that holds the point.
double Optimise::PointReading(const Tepora& U, const ElementSearch& s) const {
  if (model == Formulation::Flat) return U.field.T(s.a, s.b, s.k);
  const int j = int(s.b), k = int(s.k);
  const double surface =
      ReadsSurface(U, s.r) ? std::get<CylinderStep>(s.start.step).SurfaceTemperature(U, j, k) : NAN;
  return PointTemperature(U, U.field.T, s.r, s.b, s.k, surface);
}

ElementResult Optimise::FinishSearch(int ind, ElementWinner&& best) {
  const double best_htc = CandidateHtcs()[size_t(best.candidate)];
  OptimalHtcs(ind) = best_htc;
  char line[96];
  if (best.obj == datum::inf) {
    ScenErr[size_t(ind)] = "warning: scenario " + std::to_string(ind + 1) +
                           ": no candidate htc gave a finite deviation; the smallest htc is kept\n";
    std::snprintf(line, sizeof line, "\n\n Scenario %d \n: Minimal ObjFValue: %g \n", ind + 1,
                  best.diff);
  } else {
    ScenErr[size_t(ind)].clear();
    std::snprintf(line, sizeof line, "\n\n Scenario %d \n: Minimal ObjFValue: %d \n", ind + 1,
                  int(best.diff));
  }
  ScenOut[size_t(ind)] = line;
  ElementResult result;
  result.field = std::move(best.field);
  result.htc = best_htc;
  return result;
}

}  // namespace tepora
