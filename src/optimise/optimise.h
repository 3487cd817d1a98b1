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

#include "optimise/control_points.h"
#include "optimise/element_state.h"
#include "model/cooling.h"
#include "common/headers.h"
#include "optimise/opt_settings.h"
#include "optimise/ranks.h"
#include "model/step.h"
#include "model/tepora.h"

namespace tepora {

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

// Every control point must lie inside the strand's grid (steps and counts
// radial, angular, axial) with a finite target. The program checks this, as
// it does the settings, before it builds the whole-strand model, so that bad
// input leaves no file behind; the constructor checks again for every other
// caller.
void CheckControlPoints(const mat& CPMat, const double steps[3], const int counts[3]);

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
  cube T_old, Tf;  // start field and inlet slice, degC, for the scratch files
  uword a = 0, b = 0, k = 0;  // ring, sector and element slice of the point
  double r = 0;               // the point's radius, m (the cylindrical step reads it)
  double target = 0;          // the point's target temperature, degC
  double htcl = 0;            // htc on the element's leading shared slices, W/(m^2 K)
  std::mutex lock;  // guards best, which candidates on any thread update
  ElementWinner best;
};

class Optimise {
 public:
  OptSettings settings;  // Input/OptSettings.txt
  bool opt = true;       // every element's htc is searched; without, it keeps the combined one
  double dr0;            // ring width, m
  double dz0;            // slice length, m
  double dphi;           // sector angle, rad
  double T_inf;          // ambient temperature, degC
  double dtau;           // time step, s
  double casting_speed;  // m/s
  // Weights of the upstream and the downstream element of a neighbouring
  // pair in what the two share (their shared slices, htc and speed).
  double upstream_weight = 0.5, downstream_weight = 0.5;
  int ndr;       // rings
  int ndphi;     // sectors
  int ndz;       // slices of the strand
  int n_offset;  // slices shared by neighbouring elements
  std::vector<ElementState> elements;  // every element, as the last iteration left it
  std::vector<ElementResult> found;    // what every element's search of the last iteration found
  vec ElemOfCP;       // element holding each control point
  cube T;             // whole-strand field, degC: initial, at the end the assembled result
  double overlap;     // fraction of an element shared with its neighbour
  ControlPoints CP;   // control points, positions as element-local grid indices
  vec CPRadius;       // radius of every control point as read, m
  vec OptimalHtcs;    // htc chosen for every element by its last search, W/(m^2 K)
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

  // The strand's field T_0 (degC) at the casting speed pv_z (m/s), cut into
  // elements sharing the fraction poverlap; the grid's ring width pdr0 (m),
  // slice length pdz0 (m) and sector angle pdphi (rad), the ambient pT_inf
  // (degC), the time step pdtau (s) and the control points as read.
  Optimise(double pv_z, cube& T_0, double poverlap, const mat& pConstM, double pdr0,
           double pdz0, double pdphi, double pT_inf, double pdtau, ControlPoints& pCP);

  // Progressive hedging, iteration by iteration, then the assembled strand
  // and its files.
  void ComputePHA();

  // The hedging's steps (hedging.cpp, pair_search.cpp, combine.cpp):
  // every element's inlet and inlet htc from what the last iteration left
  // (`htcs_before`: the htcs it chose, the starting htc before the first);
  // the search of every element's htc, as (element, candidate) pairs across
  // threads and ranks, into `found`; the iteration's record; the weighted
  // combination of neighbours on what they share; and the rebuild of every
  // element's leading shared slices from its upstream neighbour.
  void PrepareIteration(const vec& htcs_before);
  void SearchIteration(int p);
  void RecordIteration(int p, const vec& htcs_before);
  void CombineNeighbours();
  void RebuildSharedSlices();

  // One element's search on this thread alone: from its field, at the
  // speed v_z (m/s), with the inlet slice Tf and the htc htcl (W/(m^2 K)) on
  // its leading shared slices.
  ElementResult SearchElement(int ind, const cube& field, double v_z, const cube& Tf,
                              double htcl);

  // SearchElement in its parts, which the driver runs as (element, candidate)
  // pairs across threads and ranks: the search's shared start, one
  // candidate (`last`: the iteration's last pair, which leaves its files),
  // and the winner's result with its console lines.
  void PrepareSearch(int ind, const cube& field, double v_z, const cube& Tf, double htcl,
                     ElementSearch& s);
  void RunCandidate(ElementSearch& s, long candidate, double htc, bool last);
  ElementResult FinishSearch(int ind, ElementWinner&& best);
  double PointReading(const Tepora& U, const ElementSearch& s) const;

  std::vector<double> CandidateHtcs() const;
  double TertiaryLengthOf(int ind) const;

  // One warning line when an element simulation (element_steps steps of
  // dtau) ends before the steel, at the casting speed speed_m_min (m/min),
  // has passed through the longest element.
  void WarnIfRunsShort(double speed_m_min) const;

 private:
  void SetElements();
  void AssignControlPoints();
  std::vector<ElementWinner> SearchPairs(int p, const std::vector<double>& htcs);
  void Assemble();
};

}  // namespace tepora
