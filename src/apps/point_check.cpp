#include "point_check.h"

#include <cstdio>
#include <iostream>

#include "optimise.h"

void PrintControlPointCheck(const Tepora& P, const ControlPoints& CP) {
  const mat& M = CP.CPMat;
  if (M.n_rows == 0 || M.n_cols < 4) return;
  std::printf("\nControl points in the final field (temperature of the cell, target, deviation):\n");
  const double steps[3] = {P.dr(0), P.dphi, P.dz(0)};
  const int counts[3] = {P.ndr, P.ndphi, P.ndz};
  for (uword p = 0; p < M.n_rows; ++p) {
    uword cell[3];
    bool inside = std::isfinite(M(p, 3));
    for (int c = 0; c < 3; ++c) {
      const double x = GridIndex(M(p, c), steps[c]);
      inside = inside && x >= 0 && x < counts[c];
      cell[c] = inside ? uword(x) : 0;
    }
    if (!inside) {
      std::fflush(stdout);
      std::cerr << "warning: Input/ControlPoints.mat: point " << p + 1
                << " lies outside the strand's grid or has no finite target; not compared"
                << std::endl;
      continue;
    }
    const double T = P.T(cell[0], cell[1], cell[2]);
    std::printf("  point %llu at r %g m, phi %g rad, z %g m: %.1f degC, target %g degC, %+.1f K\n",
                (unsigned long long)(p + 1), M(p, 0), M(p, 1), M(p, 2), T, M(p, 3), T - M(p, 3));
  }
}
