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
#include <cmath>
#include <exception>
#include <vector>

// Cells a thread of a step takes at least. Starting and joining the
// threads of a step costs a few microseconds, which a thread's share must
// outweigh: on the development machine (2 cores, cylindrical step) two
// threads run a step of 1000 cells 1.25 times as fast as one, of 2000 cells
// 1.55 times, of 4000 cells 1.75 times and of 8000 or more 1.85 to 1.9 times
// (README, Performance).
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
