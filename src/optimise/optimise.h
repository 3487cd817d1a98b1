// The optimiser: the strand cut into overlapping elements along its axis; per
// element a search of the spray htc that brings the temperature at the
// element's control point closest to its target, and progressive hedging that
// reconciles neighbouring elements on the slices they share.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control_points.h"
#include "cooling.h"
#include "headers.h"
#include "ranks.h"
#include "settings_file.h"
#include "step.h"
#include "tepora.h"

// What one iteration changed: the largest move of an element's chosen htc
// against the iteration before (against the starting htc in the first), the largest temperature
// difference between neighbouring elements' results on the slices they
// share, and the time since the search started.
struct IterationStats {
  double htc_change;  // W/(m^2 K)
  double seam_jump;   // K
  double seconds;     // s
};

// Thrown by an element's search when another element of the same iteration
// has failed: the iteration is abandoned, the first failure reported.
struct IterationAbandoned {};

// Spray htc every element starts from before its first search, W/(m^2 K).
const double kStartHtc = 500.0;

// Input/OptSettings.txt and what each of its lines means.
SettingsFile OptSettingsFile();

// Checks of the optimiser's inputs that need no model. The program runs them
// before it builds the whole-strand model, so that bad input leaves no file
// behind; the constructor runs them again for every other caller.

// The htc grid must be finite, non-empty and not negative, and progressive
// hedging needs three elements.
void CheckOptSettings(const vec& Settings, const SettingsFile& file);

// Every control point must lie inside the strand's grid (steps and counts
// radial, angular, axial) with a finite target.
void CheckControlPoints(const mat& CPMat, const double steps[3], const int counts[3]);

// Slices first .. last of the strand.
struct SliceRange {
  long first, last;
  long Count() const { return last - first + 1; }
};

// The cut of ndz slices into nElem elements overlapping by `overlap`: every
// element but the last has the same slices (rounded down to a multiple of
// four, at least four), the last runs to the strand's end.
struct ElementLayout {
  std::vector<SliceRange> elem;   // every element
  std::vector<SliceRange> right;  // slices each but the last shares with the next
  SliceRange left0;               // the leading slices of element 0

  std::vector<uword> Counts() const;  // slices of every element
};

// Stops with bad input when the elements do not fit the strand.
ElementLayout ElementLayoutOf(int nElem, double overlap, int ndz);

// Where each element's own htc acts on the assembled strand, m from the
// inlet: element i's from its first slice past the ones it shares with
// element i-1 (and the one after them, still cooled with element i-1's htc)
// up to where element i+1's starts; cut to the stretch between the mould
// and the air cooling (`air_from`). An element whose stretch lies wholly in
// the mould or the air cooling has none (from == to).
std::vector<SprayZone> ElementStretches(const ElementLayout& layout, const vec& htcs, double dz,
                                        double mould_length, double air_from);

// The stretches as the [[spray]] entries of a caster file.
std::string SpraysToml(const std::vector<SprayZone>& zones);

// Grid index of a position: cell k - 1 holds (k - 1) step < x <= k step.
double GridIndex(double x, double step);

// The element that holds each point at grid slice `slice`, for elements of
// `elem_slices` slices sharing `n_offset` with the one before, and its slice
// counted from that element's first: points in the slices two elements share
// belong to element 0 between elements 0 and 1, to the later element
// elsewhere. `slice` becomes the offsets.
void PlacePoints(vec& slice, vec& element, const std::vector<uword>& elem_slices, int n_offset);

// An element without a point of its own is scored at point 1's offset:
// stops with bad input when that lies outside the element; `warn` names
// each such element on standard error.
void CheckUnpointedElements(const vec& element, double offset1,
                            const std::vector<uword>& elem_slices, bool warn);

// One element's search in an iteration: what its candidates share, built
// once (the element model before the candidate's htc, the start of its run,
// the cell and target it is scored at), and the best candidate seen so far.
struct ElementSearch {
  std::unique_ptr<Tepora> model;
  PieceStart start;
  cube T_old, Tf;  // start field and inlet slice, for the scratch files
  uword a = 0, b = 0, k = 0;  // ring, sector and element slice of the point
  double r = 0;               // the point's radius, m (the cylindrical step reads it)
  double target = 0, htcl = 0;
  std::mutex lock;  // guards best, which candidates on any thread update
  ElementWinner best;
};

class Optimise {
 public:
  bool opt;       // scenario evaluation optimises the element's htc
  bool parallel;  // elements of one iteration are evaluated independently
  double dr0;
  double dz0;
  double dphi;
  double T_inf;
  double dtau;
  vec p_s;  // weights of the upstream and downstream element of a pair
  int ndr;
  int ndphi;
  int ndz;
  int n_offset;  // slices shared by neighbouring elements
  int nElem;
  int pmax;      // progressive hedging iterations
  int Heatpmax;  // time steps of every element simulation
  field<cube> Elem;   // temperature field of every element
  field<cube> ElemL;  // leading slices shared with the element before
  field<cube> ElemR;  // trailing slices shared with the element after
  field<vec> X_s;     // evaluation result of every element
  field<vec> X_L;     // values of every element's leading shared slices
  vec Param;          // htc of every element, then the casting speed
  vec Vecv_z;         // casting speed per element
  vec nX;             // length of every element's evaluation result
  vec ElemOfCP;       // element holding each control point
  cube T;             // whole-strand field: initial, at the end the assembled result
  mat ProfileMat;     // radial-axial profile of the result
  double overlap;     // fraction of an element shared with its neighbour
  ControlPoints CP;   // control points, positions as element-local grid indices
  vec CPRadius;       // radius of every control point as read, m
  vec OptimalHtcs;    // htc chosen for every element by its last search
  double htcmax;
  double htcmin;
  double htc_step;
  double RealTertiaryLength;  // air-cooled length at the end of the strand, m
  ElementLayout layout;       // the elements' slices in the strand
  mat ConstM;                 // refined material table of the whole strand
  // Console lines of every element's last search (standard output, standard
  // error), printed by the driver in element order once every element of the
  // iteration has succeeded, so that an abandoned iteration prints no result.
  std::vector<std::string> ScenOut, ScenErr;
  // Seconds at least between two progress lines within an iteration.
  double progress_interval = 5.0;
  // What each iteration changed (IterationStats), for the report.
  std::vector<IterationStats> History;
  std::chrono::steady_clock::time_point started;
  // Set by the first element that fails; the others stop at their next
  // candidate. Owned by the driver while an iteration runs.
  std::atomic<bool>* abandon = nullptr;
  Formulation model = Formulation::Cylindrical;  // time step of the element models
  CasterZones zones;  // the mould of element 0; the sprays are what the search finds
  std::string Settings_fname;
  vec Settings;

  Optimise(double pv_z, cube& T_0, double poverlap, const mat& pConstM, double pdr0,
           double pdz0, double pdphi, double pT_inf, double pdtau, ControlPoints& pCP);
  ~Optimise();

  vec ToVect(cube& S);
  cube DeVect(vec& v, int m, int n, int o);
  void SetElements();
  vec CompScen(int ind, cube& T_old, vec Param, vec& X_av_old, cube& Tf, double htcl);
  vec OptimiseScen(int ind, vec& pElemi, double v_z, cube& Tf, double htcl);
  void ComputePHA();
  void RecordIteration(int p, const vec& htcs_before);

  // OptimiseScen in its parts, which the driver runs as (element, candidate)
  // pairs across threads and ranks: the search's shared start, one
  // candidate (`last`: the iteration's last pair, which leaves its files),
  // and the winner's result with its console lines.
  void PrepareSearch(int ind, vec& pElemi, double v_z, const cube& Tf, double htcl,
                     ElementSearch& s);
  void RunCandidate(ElementSearch& s, long candidate, double htc, bool last);
  vec FinishSearch(int ind, const ElementWinner& best);
  double PointReading(const Tepora& U, const ElementSearch& s) const;
  // The part of an element's result that belongs to it alone (without the
  // leading slices it shares with the element before, for every element but
  // the first); the leading shared values go to X_L(ind).
  vec OwnPart(int ind, const vec& X_s);

  std::vector<double> CandidateHtcs() const;
  double TertiaryLengthOf(int ind) const;

  // One warning line when an element simulation (Heatpmax steps of dtau)
  // ends before the steel, at the casting speed speed_m_min (m/min), has
  // passed through the longest element.
  void WarnIfRunsShort(double speed_m_min) const;

 private:
  void AssignControlPoints();
  void Assemble();
};
