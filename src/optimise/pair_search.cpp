// One iteration's search: every element's htc chosen from the candidates,
// the (element, candidate) pairs dealt to the ranks and run across threads,
// the winners shared and their console lines printed in element order.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>

#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

namespace {

// Progress within an iteration: the thread that finishes a pair says how
// many of the rank's pairs are done, once `interval` seconds have passed
// since the iteration began or since the last such line, however the pairs
// are scheduled.
class PairProgress {
 public:
  PairProgress(int iteration, long pairs, double interval, std::chrono::steady_clock::time_point started)
      : iteration_(iteration), pairs_(pairs), interval_(interval), started_(started) {}

  void Done() {
    const std::lock_guard<std::mutex> hold(lock_);
    ++done_;
    const auto now = std::chrono::steady_clock::now();
    if (std::chrono::duration<double>(now - said_).count() < interval_) return;
    said_ = now;
    std::printf("  iteration %d: %ld of %s%ld (element, candidate) pairs done, %.1f s so far\n",
                iteration_, done_, RankCount() > 1 ? "this rank's " : "the ", pairs_,
                std::chrono::duration<double>(now - started_).count());
    std::fflush(stdout);
  }

 private:
  const int iteration_;
  const long pairs_;        // pairs of this rank in the iteration
  const double interval_;   // s
  const std::chrono::steady_clock::time_point started_;  // the search's start
  std::mutex lock_;
  long done_ = 0;
  std::chrono::steady_clock::time_point said_ = std::chrono::steady_clock::now();
};

}  // namespace

// Every element's result of the iteration into `found`: its winner's field
// and htc (without a search its own field and combined htc). The console
// lines are printed only once every element has succeeded.
void Optimise::SearchIteration(int p) {
  const std::vector<double> htcs = CandidateHtcs();
  std::vector<ElementWinner> winners = SearchPairs(p, htcs);
  std::vector<uword> slices;
  for (const ElementState& el : elements) slices.push_back(el.field.n_slices);
  ShareWinners(winners, uword(ndr), uword(ndphi), slices);
  found.assign(elements.size(), ElementResult());
  for (size_t i = 0; i < elements.size(); ++i) {
    if (opt)
      found[i] = FinishSearch(int(i), std::move(winners[i]));
    else
      found[i] = {elements[i].field, elements[i].htc};
  }
  for (size_t i = 0; i < elements.size(); ++i) {
    if (!ScenErr[i].empty()) {
      fflush(stdout);
      std::fputs(ScenErr[i].c_str(), stderr);
    }
    std::fputs(ScenOut[i].c_str(), stdout);
  }
  fflush(stdout);
}

// The (element, candidate) pairs of the iteration, pair q = candidate
// q % N of element q / N: this rank's block of them (all of them without
// MPI) across its threads, in any order. Each element's search is first
// prepared once for all its candidates; every candidate then keeps its
// element's best by an order that is total, so the winners are the same on
// any number of threads and ranks. The first error stops the other pairs
// and is raised once every thread has left the loop, on every rank; nothing
// of the iteration is printed.
std::vector<ElementWinner> Optimise::SearchPairs(int p, const std::vector<double>& htcs) {
  const long N = opt ? long(htcs.size()) : 0, P = N * long(elements.size());
  const PairBlock block = RankBlock(P);
  const int e0 = int(block.first / std::max(N, 1L));
  const int e1 = block.first < block.end ? int((block.end - 1) / N) : e0 - 1;
  std::vector<std::unique_ptr<ElementSearch>> search(elements.size());
  std::atomic<bool> stop{false};
  abandon = &stop;
  std::exception_ptr failure;
  std::atomic<bool> claimed{false};
  PairProgress progress(p, block.end - block.first, progress_interval, started);
  const auto guarded = [&](const std::function<void()>& work) {
    try {
      work();
    } catch (...) {
      if (!claimed.exchange(true)) failure = std::current_exception();
      stop = true;
    }
  };
#pragma omp parallel
  {
#pragma omp for schedule(dynamic)
    for (int i = e0; i <= e1; ++i)
      guarded([&] {
        const ElementState& el = elements[size_t(i)];
        auto s = std::make_unique<ElementSearch>();
        PrepareSearch(i, el.field, el.speed, el.inlet, el.inlet_htc, *s);
        search[size_t(i)] = std::move(s);
      });
#pragma omp for schedule(dynamic)
    for (long q = block.first; q < block.end; ++q) {
      if (stop) continue;
      const long c = q % N;
      guarded([&] {
        RunCandidate(*search[size_t(q / N)], c, htcs[size_t(c)], q == P - 1);
        progress.Done();
      });
    }
  }
  abandon = nullptr;
  RaiseFirstFailure(failure);
  std::vector<ElementWinner> winners(elements.size());
  for (size_t i = 0; i < elements.size(); ++i)
    if (search[i]) winners[i] = std::move(search[i]->best);
  return winners;
}

}  // namespace tepora
