// Lookups in the refined material table for the inner loop of the time step:
// unchecked reads at indices that are first checked against the table.
#pragma once

#include "headers.h"

[[noreturn]] void TemperatureOutside(double T, uword N);
[[noreturn]] void EnthalpyOutside(double H, const double* Hmax, uword N);

struct TableView {
  const double* temp;  // column 0, degC
  const double* cond;  // column 2, W/(m K)
  const double* Hmax;  // running maximum of column 1, J/m^3
  uword N;
  double upper;  // N + 1: T + 0.5 must lie in [1, N + 1)

  TableView(const mat& ConstM, const vec& ConstHmax)
      : temp(ConstM.colptr(0)),
        cond(ConstM.colptr(2)),
        Hmax(ConstHmax.memptr()),
        N(ConstM.n_rows),
        upper(double(ConstM.n_rows) + 1.0) {}

  // Conductivity at the nearest whole degree, row floor(T + 0.5) - 1.
  double Conductivity(double T) const {
    const double y = T + 0.5;
    if (!(y >= 1.0 && y < upper)) TemperatureOutside(T, N);
    return cond[uword(y) - 1];
  }

  // Temperature of the row just below the first row, searching from row 0,
  // whose enthalpy exceeds H. The running maximum is sorted and exceeds H
  // first where the enthalpy does, so a walk on it from any row finds that
  // same row; starting from the row of the cell's previous temperature, the
  // walk is a few rows long.
  double Temperature(double H, double T_prev) const {
    const double y = T_prev + 0.5;
    uword h = (y >= 1.0 && y < upper) ? uword(y) - 1 : (y >= upper ? N - 1 : 0);
    if (Hmax[h] > H) {
      while (h > 0 && Hmax[h - 1] > H) --h;
      if (h == 0) EnthalpyOutside(H, Hmax, N);
      return temp[h - 1];
    }
    while (h + 1 < N && !(Hmax[h + 1] > H)) ++h;
    if (h + 1 == N) EnthalpyOutside(H, Hmax, N);
    return temp[h];
  }
};
