// How a time step splits its slices across threads. A slice's new values
// depend only on the fields of the step before, so the slices of one step
// are independent: each thread takes a run of consecutive slices. What the
// sweep hands from one slice to the next (the axial difference or flux
// through the face between them) is recomputed at the first slice of every
// run from the same values by the same operations, so a step on any number
// of threads, cut into any runs, is bit for bit the step on one.
#pragma once

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <vector>

#include "model/slice_pool.h"
#include "model/thread_choice.h"

namespace tepora {

// Cells a thread of a step takes at least. Handing a step to the threads
// and waiting for its last run costs a few microseconds, which a thread's
// share must outweigh: on the development machine (2 cores, cylindrical
// step, make bench) two threads run a step of 1000 cells 0.9 times as fast
// as one, of 2000 cells 1.2 times, of 4000 cells 1.5 times, of 8000 cells
// 1.7 times and of 32 000 or more 1.75 to 2 times (docs/performance.md).
const double kStepCellsPerThread = 2000;

// Threads for the slices of a step on `cells` cells in K slices: one inside
// a parallel region (the optimiser runs many element models side by side,
// each on one thread), otherwise the runtime's thread count, at most one
// for every kStepCellsPerThread cells and one a slice the step updates.
inline int StepThreads(double cells, int K) {
  if (omp_in_parallel()) return 1;
  const double most = std::min(double(omp_get_max_threads()), double(K - 2));
  return int(std::max(1.0, std::min(most, std::floor(cells / kStepCellsPerThread))));
}

// Runs of slices a step is cut into for each of its threads: a thread that
// the system puts off leaves the runs it has not begun to the others, so
// the step waits at most for the one run it is in. Each run costs one more
// axial difference of a slice face.
const int kRunsPerThread = 8;

// Runs body(first, end, t) for runs first .. end-1 that together cover the
// slices lo .. K-2 once (lo 0 when the step updates the inlet slice too, 1
// when the inlet's rule sets it), on `threads` threads, t the thread (0 the
// caller), each run on one thread and the runs of a thread one after another. Thread
// t has the t-th block of consecutive runs, thread 0 the first, and the
// others take what a late thread leaves of it: which thread computes a run
// does not matter, since a run starts from the fields of the step before
// alone. A run that raises
// stops there; after all runs are done the exception of the lowest run is
// raised, which holds the lowest slice that failed, as a one-thread sweep
// would have met it first.
template <class Body>
void ForSliceRuns(int threads, int K, const Body& body, int lo = 1) {
  const int slices = K - 1 - lo;
  if (threads <= 1 || slices < 2) {
    body(lo, K - 1, 0);
    return;
  }
  struct Runs {
    const Body* body;
    long lo, slices, count;
    std::vector<std::exception_ptr> failure;
  } runs{&body, lo, slices, std::min(long(slices), long(threads) * kRunsPerThread), {}};
  runs.failure.resize(runs.count);
  StepPool().Run(threads, int(runs.count), [](void* context, int r, int t) {
    Runs& shared = *static_cast<Runs*>(context);
    const int first = int(shared.lo + shared.slices * r / shared.count);
    const int end = int(shared.lo + shared.slices * (r + 1) / shared.count);
    try {
      (*shared.body)(first, end, t);
    } catch (...) {
      shared.failure[r] = std::current_exception();
    }
  }, &runs);
  for (const std::exception_ptr& f : runs.failure)
    if (f) std::rethrow_exception(f);
}

// ForSliceRuns on the threads `choice` gives, which it is told the time of.
template <class Body>
void ForSliceRuns(ThreadChoice& choice, int K, const Body& body, int lo = 1) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  ForSliceRuns(choice.Threads(), K, body, lo);
  choice.Took(std::chrono::duration<double>(Clock::now() - start).count());
}

}  // namespace tepora
