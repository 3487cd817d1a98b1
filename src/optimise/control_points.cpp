#include "control_points.h"

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
