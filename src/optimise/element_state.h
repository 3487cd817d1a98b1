// One element of the strand in the progressive hedging: what its next search
// starts from, and what a search of it found.
#pragma once

#include "common/headers.h"

namespace tepora {

// Slices first .. last of the strand.
struct SliceRange {
  long first, last;
  long Count() const { return last - first + 1; }
};

// An element between two iterations. Its field holds all its slices: the
// leading ones it shares with the element upstream are, after every
// iteration, the very values of that element's trailing ones, so the two
// start the next iteration from one field where they overlap.
struct ElementState {
  SliceRange slices{0, -1};  // the element's slices in the strand
  long shared_before = 0;    // leading slices shared with the element upstream (element 0:
                             // the leading slices of the cut, shared with none)
  cube field;                // temperature of every cell, degC; rings x sectors x its slices
  double speed = 0;          // casting speed its runs use, m/s, combined with its neighbours'
  double htc = 0;            // spray htc combined with its neighbours', W/(m^2 K)
  cube inlet;                // the slice steel enters it with, degC; rings x sectors x 1: the
                             // first slice it shares with the element upstream (element 0: none,
                             // its inlet is the mould's)
  double inlet_htc = 0;      // htc on its leading shared slices, W/(m^2 K): the one the element
                             // upstream chose in the last iteration (element 0: its own)
};

// What one element's search in an iteration found.
struct ElementResult {
  cube field;     // the field the chosen candidate left, degC; all the element's slices
  double htc = 0;  // the chosen htc, W/(m^2 K)
};

}  // namespace tepora
