// The grid's widths, radii and positions.
#include "model/grid.h"

namespace tepora {

double CellsToCover(double extent, double width) { return std::ceil(extent / width); }

void Grid::SetDisc(double dr0, double dz0, double phi) {
  ndr = int(CellsToCover(R, dr0));
  dr.set_size(ndr);
  dr.fill(dr0);
  dphi = phi;
  ndphi = int(CellsToCover(2 * kPi, phi));
  ndz = int(CellsToCover(L, dz0));
  dz.set_size(ndz);
  dz.fill(dz0);
}

void Grid::SetDisc(double dr0, double dz0, const cube& field) {
  ndr = int(field.n_rows);
  dr.set_size(ndr);
  dr.fill(dr0);
  ndphi = int(field.n_cols);
  dphi = 2 * kPi / ndphi;
  ndz = int(field.n_slices);
  dz.set_size(ndz);
  dz.fill(dz0);
}

void Grid::SetSqR(double dr0, double pR) {
  const double q = 1.0 - dr0 / pR;
  ndr = int(std::ceil(1.0 / (1.0 - q * q)));
  dr.set_size(ndr);
  for (int i = 0; i < ndr; ++i)
    dr(i) = (std::sqrt(double(i + 1) / ndr) - std::sqrt(double(i) / ndr)) * R;
}

double Grid::getR(int ind) const {
  double r = dr(0);
  for (int i = 0; i < ind; ++i) r += dr(i);
  return r;
}

double Grid::FaceRadius(int i) const {
  double r = 0.0;
  for (int n = 0; n < i; ++n) r += dr(n);
  return r;
}

double Grid::CentreRadius(int i) const { return FaceRadius(i) + 0.5 * dr(i); }

double Grid::SliceCentre(int k) const {
  double z = 0.0;
  for (int n = 0; n < k; ++n) z += dz(n);
  return z + 0.5 * dz(k);
}

}  // namespace tepora
