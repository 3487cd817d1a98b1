// Progressive hedging over the elements of the strand: the iteration loop,
// what every iteration starts from, and what it changed.
#include <chrono>
#include <cstdio>

#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

// One iteration: every element is searched by itself, from its own field,
// with the inlet slice and inlet htc the previous iteration left, so the
// elements of one iteration run in parallel. Neighbouring results are then
// combined with the pair's weights on what they share (the shared slices,
// the htc, the casting speed), and every element's leading shared slices
// take its upstream neighbour's combined trailing ones.
void Optimise::ComputePHA() {
  vec htcs_before(uword(settings.elements), fill::value(kStartHtc));
  History.clear();
  started = std::chrono::steady_clock::now();
  // Every rank has read its start field (TeporaOut/T_0.cub, which rank 0
  // rewrites in the first iteration) before any rank goes on.
  RankBarrier();

  const int pmax = settings.iterations;
  for (int p = 1; p <= pmax; ++p) {
    printf(
        "---------------------------------------------------------------\n %d. PHA iteration "
        "out of %d total. \n---------------------------------------------------------------\n",
        p, pmax);
    fflush(stdout);
    PrepareIteration(htcs_before);
    SearchIteration(p);
    RecordIteration(p, htcs_before);
    htcs_before = OptimalHtcs;
    CombineNeighbours();
    RebuildSharedSlices();
  }

  Assemble();
}

// Steel enters an element through the first slice it shares with the element
// upstream, as that element's field holds it, cooled there with the htc that
// element chose; element 0 starts at the mould and keeps its own htc there.
void Optimise::PrepareIteration(const vec& htcs_before) {
  const uword s = uword(n_offset);
  for (size_t i = 1; i < elements.size(); ++i) {
    const cube& up = elements[i - 1].field;
    elements[i].inlet = up.slices(up.n_slices - s, up.n_slices - s);
    elements[i].inlet_htc = htcs_before(i - 1);
  }
  elements[0].inlet_htc = htcs_before(0);
}

// How far the iteration moved the htcs and how far apart neighbouring
// elements left their shared slices, before they are combined; one progress
// line with the time taken and an estimate of the time left.
void Optimise::RecordIteration(int p, const vec& htcs_before) {
  IterationStats it;
  it.htc_change = arma::abs(OptimalHtcs - htcs_before).max();  // from the start in the first
  it.seam_jump = 0.0;
  const uword s = uword(n_offset);
  for (size_t i = 0; s > 0 && i + 1 < found.size(); ++i) {
    const cube& up = found[i].field;
    const cube& down = found[i + 1].field;
    it.seam_jump = std::max(it.seam_jump,
                            arma::abs(up.slices(up.n_slices - s, up.n_slices - 1) -
                                      down.slices(0, s - 1)).max());
  }
  it.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  History.push_back(it);
  const int pmax = settings.iterations;
  const double left = it.seconds / p * (pmax - p);
  std::printf("Iteration %d of %d done, %.1f s so far, about %.0f s left; htcs moved by up to "
              "%s W/(m2 K), neighbouring elements differ by up to %.1f K on their shared "
              "slices\n",
              p, pmax, it.seconds, left, ValueText(it.htc_change).c_str(),
              it.seam_jump);
  std::fflush(stdout);
}

}  // namespace tepora
