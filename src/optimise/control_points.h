// Places in the strand where the optimiser wants the temperature to reach a
// target: one row per point, r (m), phi (rad), z (m), target temperature (degC).
// The optimiser rewrites r, phi and z of its own copy into grid indices.
#pragma once

#include "headers.h"

class ControlPoints {
 public:
  mat CPMat;
  int nPoints;

  ControlPoints();
  explicit ControlPoints(const char* fname);
  ControlPoints(vec& r, vec& phi, vec& z, vec& val);
  ControlPoints(const ControlPoints& B) = default;
  ~ControlPoints();
  ControlPoints& operator=(const ControlPoints& B);
};
