#include "optimise/control_points.h"

#include <algorithm>

#include "model/tepora.h"

namespace tepora {

ControlPoints::ControlPoints() : CPMat(0, 1), nPoints(0) {}

// A missing or unreadable file gives no points, after the library's warning.
ControlPoints::ControlPoints(const char* fname) {
  CPMat.load(fname, raw_ascii);
  nPoints = int(CPMat.n_rows);
}

ControlPoints::ControlPoints(vec& r, vec& phi, vec& z, vec& val) : nPoints(0) {
  if (r.n_elem != phi.n_elem || r.n_elem != z.n_elem) {
    std::cout << "Error in ControlPoints definition" << std::endl;
    return;
  }
  nPoints = int(r.n_elem);
  CPMat.set_size(nPoints, 4);
  if (nPoints == 0) return;  // no storage to take columns of
  CPMat.col(0) = r;
  CPMat.col(1) = phi;
  CPMat.col(2) = z;
  CPMat.col(3) = val;
}

ControlPoints::~ControlPoints() {
  nPoints = 0;
  CPMat.reset();
}

ControlPoints& ControlPoints::operator=(const ControlPoints& B) {
  if (this != &B) {
    CPMat = B.CPMat;
    nPoints = B.nPoints;
  }
  return *this;
}

double PointSlice(double z, double dz) { return std::ceil(z / dz) - 1; }

// A point written at the centre reads the surface whatever the rounding of
// the sum of the ring widths: no caster knows a position to a nanometre.
// A radius that is not a whole number of rings puts the grid's surface up to
// a ring beyond R, and the outer ring's centre may then lie outside R: a
// point at R is still where the pyrometer looks.
bool ReadsSurface(const Tepora& P, double r) {
  return r >= std::min(P.grid.CentreRadius(P.grid.ndr - 1), P.grid.R) - 1e-9;
}

double PointTemperature(const Tepora& P, const cube& T, double r, uword j, uword k,
                        double surface) {
  if (ReadsSurface(P, r)) return surface;
  int i = 0;
  while (i + 1 < P.grid.ndr && P.grid.CentreRadius(i + 1) <= r) ++i;
  const double inner = P.grid.CentreRadius(i);
  if (r <= inner) return T(i, j, k);
  const double w = (r - inner) / (P.grid.CentreRadius(i + 1) - inner);
  return T(i, j, k) + w * (T(i + 1, j, k) - T(i, j, k));
}

}  // namespace tepora
