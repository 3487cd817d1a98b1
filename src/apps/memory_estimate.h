

namespace tepora {

// The memory a run will hold, estimated from the arrays it keeps per cell
// before anything is allocated, against what this machine (and the
// container it runs in) has available.
#pragma once

// Cell counts of the whole-strand grid the settings give.
struct GridSize {
  double ndr, ndphi, ndz;
  double Cells() const { return ndr * ndphi * ndz; }
};

// Bytes the simulator holds for a grid.
double SimulatorBytes(const GridSize& grid);

// What the optimiser holds: the strand's arrays, one element model for every
// thread that has an element to work on, and the stack of every thread the
// OpenMP runtime starts (the calling thread works on its own stack).
struct OptimiserRun {
  double element_slices;  // slices of the longest element
  int elements;
  double pairs;        // (element, candidate) pairs of an iteration
  int threads;         // the runtime's thread count
  double stack_bytes;  // stack of each worker thread
};
double OptimiserBytes(const GridSize& grid, const OptimiserRun& run);

// Stops with bad input, before anything is allocated, when a run of `bytes`
// would not fit in the memory this machine has available.
void CheckMemory(const GridSize& grid, double bytes);

// The same for the optimiser; when one thread would fit and the thread
// count is what does not, the message names the threads instead of the grid.
void CheckOptimiserMemory(const GridSize& grid, const OptimiserRun& run);

}  // namespace tepora
