// Places in the strand where the optimiser wants the temperature to reach a
// target: one row per point, r (m), phi (rad), z (m), target temperature (degC).
// The optimiser rewrites r, phi and z of its own copy into grid indices.
#pragma once

#include "common/headers.h"

namespace tepora {

class Tepora;

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

// Index of the slice, of length dz (m), that holds a point at z (m) from
// the inlet: slice k spans k dz < z <= (k + 1) dz. Every mapping of a
// control point's z to a slice goes through here.
double PointSlice(double z, double dz);

// How a control point reads the cylindrical step's field. A pyrometer sees
// the surface, and the outer ring's centre lies half a ring inside it, where
// the steel is tens of kelvin hotter than the face: a point at or beyond that
// centre reads the surface temperature (the outer face, as Strand.csv
// reports it). A point inside reads the temperature on a straight line
// between the centres of the rings either side of it, ring 0's inside the
// centre of ring 0.
bool ReadsSurface(const Tepora& P, double r);
// The temperature a point at radius r (m) reads in sector j, slice k of the
// field T on P's rings, degC; `surface` is the surface temperature there.
double PointTemperature(const Tepora& P, const cube& T, double r, uword j, uword k,
                        double surface);

}  // namespace tepora
