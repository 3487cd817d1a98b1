// The bounds of an element of the optimiser's strand as a piece the model
// runs: element 0 begins at the meniscus, holds the mould and takes liquid
// steel at the casting temperature; every later element lies below the mould
// and takes its inlet slice from the face above it, the first slice of the
// upstream field.
#pragma once

#include "model/tepora.h"

namespace tepora {

// Element ind (0 at the meniscus); upstream: temperature of the strand above
// it, degC, whose first slice is read (unused for element 0).
inline PieceBounds ElementBounds(int ind, const cube& upstream) {
  PieceBounds bounds;
  bounds.mould = ind == 0;
  bounds.inlet = ind == 0 ? InletKind::Fixed : InletKind::Field;
  if (ind != 0 && !upstream.is_empty()) bounds.upstream = upstream.slice(0);
  return bounds;
}

}  // namespace tepora
