// The grid of a round strand: rings from the axis to the surface, sectors
// around it and slices along the casting direction.
#pragma once

#include "common/headers.h"

namespace tepora {

const double kPi = 3.141592653589793;

// Number of cells of the given width that cover an extent, ceil(extent / width),
// before its conversion to a count.
double CellsToCover(double extent, double width);

struct Grid {
  int ndr = 0;      // rings, axis (0) to surface (ndr - 1)
  int ndphi = 0;    // angular sectors around the strand
  int ndz = 0;      // slices from the inlet (0) along the casting direction
  vec dr;           // radial width of every ring, m
  vec dz;           // axial length of every slice, m
  double dphi = 0;  // angular width of a sector, rad
  double R = 0;     // strand radius, m
  double L = 0;     // modelled length, m

  // Uniform grid covering at least the radius R, the full circle and the
  // length L (both set before).
  void SetDisc(double dr0, double dz0, double phi);
  // Uniform grid whose counts are the dimensions of a field; the sectors
  // close the circle.
  void SetDisc(double dr0, double dz0, const cube& field);
  // Rings of equal area: ring i spans radii R sqrt(i/n) to R sqrt((i+1)/n),
  // with n the smallest count whose outermost ring is not wider than dr0.
  void SetSqR(double dr0, double pR);
  // Radius the flat step gives ring ind, m: dr(0) + dr(0) + ... + dr(ind - 1).
  double getR(int ind) const;
  // Radius of the inner face, the centre and the outer face of ring i, m.
  // Ring 0 is a disc on the axis; the outer face of the last ring is the
  // surface.
  double FaceRadius(int i) const;
  double CentreRadius(int i) const;
  // Distance of the centre of slice k from the inlet, m.
  double SliceCentre(int k) const;
};

}  // namespace tepora
