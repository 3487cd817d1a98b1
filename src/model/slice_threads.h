// How a time step splits its slices across threads. A slice's new values
// depend only on the fields of the step before, so the slices of one step
// are independent: each thread takes a run of consecutive slices. What the
// sweep hands from one slice to the next (the axial difference or flux
// through the face between them) is recomputed at the first slice of every
// run from the same values by the same operations, so a step on any number
// of threads is bit for bit the step on one.
#pragma once

#include <omp.h>

#include <algorithm>
#include <exception>
#include <vector>

// Cells below which a step stays on one thread. Starting and joining the
// threads of a step costs a few microseconds, and each thread's run of
// slices must be long enough to keep the carried face work small and its
// caches its own; on the development machine two threads gain from about
// 10 thousand cells (the README's Performance section has the measurement).
const double kThreadedStepCells = 10000;

// Threads for the slices of a step on `cells` cells in K slices: one inside
// a parallel region (the optimiser runs many element models side by side,
// each on one thread) and on small grids, otherwise the runtime's thread
// count, at most one a slice the step updates.
inline int StepThreads(double cells, int K) {
  if (omp_in_parallel() || cells < kThreadedStepCells) return 1;
  return std::max(1, std::min(omp_get_max_threads(), K - 2));
}

// Runs body(first, end, t) on every thread t with its run first .. end-1 of
// the slices 1 .. K-2, thread 0 the first run. A run that raises stops
// there; after all threads are done the exception of the lowest run is
// raised, which holds the lowest slice that failed, as a one-thread sweep
// would have met it first.
template <class Body>
void ForSliceRuns(int threads, int K, const Body& body) {
  if (threads <= 1) {
    body(1, K - 1, 0);
    return;
  }
  std::vector<std::exception_ptr> failure(threads);
#pragma omp parallel num_threads(threads)
  {
    const long t = omp_get_thread_num(), n = omp_get_num_threads(), slices = K - 2;
    const int first = 1 + int(slices * t / n), end = 1 + int(slices * (t + 1) / n);
    try {
      if (first < end) body(first, end, int(t));
    } catch (...) {
      failure[t] = std::current_exception();
    }
  }
  for (const std::exception_ptr& f : failure)
    if (f) std::rethrow_exception(f);
}
