

namespace tepora {

// The stack of the optimiser's worker threads. An element search runs on a
// worker, and a candidate that stops (a temperature leaving the material
// table) unwinds and reports there, which a stack of OMP_STACKSIZE=16K does
// not hold: a smaller setting than kMinimumWorkerStack is raised to it when
// the program is loaded, before the OpenMP runtime reads it.
#pragma once

const unsigned long kMinimumWorkerStack = 4ul << 20;  // bytes

// The bytes a stack-size setting in the OpenMP runtime's notation names:
// a whole number, optionally signed '+', with an optional unit B, K, M or G
// (kilobytes without one), white space allowed around both; false when the
// text is not such a size.
bool ParseStackSize(const char* text, unsigned long& bytes);

// Stack of each worker thread the runtime starts, in bytes: OMP_STACKSIZE,
// else GOMP_STACKSIZE, else the threads library's default.
double WorkerStackBytes();

}  // namespace tepora
