// The material table of the cast steel: the rows as read, the rows refined
// onto whole degrees, and the lookups of the time steps (unchecked reads at
// indices that are first checked against the table): whole-degree rows for
// the flat step, straight lines between the rows for the cylindrical one.
#pragma once

#include <limits>
#include <vector>

#include "common/headers.h"

namespace tepora {

// "(0.5 .. N + 0.5 degC)": the temperatures a table of N rows covers.
std::string TemperatureRangeText(uword N);
[[noreturn]] void TemperatureOutside(double T, uword N);
[[noreturn]] void EnthalpyOutside(double H, const std::vector<double>& Hmax);

// Index of the enthalpy column for the inverse lookup. The first row whose
// enthalpy exceeds H is the first row where the running maximum of the
// column does, and the running maximum is sorted: equal-width buckets of
// enthalpy each know the first row above their lower edge, and a short walk
// up from there finds the row, exactly as a search from row 0 would.
struct EnthalpyIndex {
  std::vector<double> Hmax;  // running maximum of the enthalpy column
  // Lower edge of every bucket and the first row whose running maximum
  // exceeds it; an empty table has one bucket above every enthalpy.
  std::vector<double> edge{std::numeric_limits<double>::infinity()};
  std::vector<uword> first{0};
  double inv_width = 0.0;

  void Build(const mat& ConstM);

  // First row whose enthalpy exceeds H; the row count when none does.
  uword FirstAbove(double H) const {
    const uword N = Hmax.size();
    if (!(H >= edge[0])) return H < edge[0] ? 0 : N;
    const double x = (H - edge[0]) * inv_width;
    uword b = x < double(edge.size() - 1) ? uword(x) : edge.size() - 1;
    while (edge[b] > H) --b;
    uword c = first[b];
    while (c < N && !(Hmax[c] > H)) ++c;
    return c;
  }
};

// Row of the refined table that stands for a temperature: the nearest whole
// degree, halves upwards, minus one. Defined where T + 0.5 lies in
// [1, N + 1) for a table of N rows.
inline bool TableCovers(double T, uword N) {
  const double y = T + 0.5;
  return y >= 1.0 && y < double(N) + 1.0;
}
inline uword TableRow(double T) { return uword(T + 0.5) - 1; }

struct TableView {
  const double* temp;  // column 0, degC
  const double* cond;  // column 2, W/(m K)
  const EnthalpyIndex& index;
  uword N;

  TableView(const mat& ConstM, const EnthalpyIndex& rows)
      : temp(ConstM.colptr(0)), cond(ConstM.colptr(2)), index(rows), N(ConstM.n_rows) {}

  // Row of a temperature: the nearest whole degree, halves upwards, minus
  // one, floor(T + 0.5) - 1; stops the run when the table has no such row.
  uword Row(double T) const {
    if (!Covers(T)) TemperatureOutside(T, N);
    return TableRow(T);
  }
  bool Covers(double T) const { return TableCovers(T, N); }

  // Row just below the first row whose enthalpy exceeds H; stops the run
  // when there is none.
  uword InverseRow(double H) const {
    const uword c = index.FirstAbove(H);
    if (c == 0 || c == N) EnthalpyOutside(H, index.Hmax);
    return c - 1;
  }

  double Conductivity(double T) const { return cond[Row(T)]; }
  double Temperature(double H) const { return temp[InverseRow(H)]; }
};

// The refined table as the cylindrical step reads it: the rows that hold a
// temperature, joined by straight lines, so that temperature and
// conductivity follow enthalpy continuously instead of in whole degrees.
// Row p covers the enthalpies [H_p, H_p+1); a plateau of equal enthalpies is
// crossed at its upper end, where the temperature jumps.
//
// The Kirchhoff potential phi(T) = integral of lambda dT from the first row,
// W/m, turns the heat flux -lambda dT/dx into -d phi/dx whatever lambda(T)
// does between two cells: the face fluxes of the cylindrical step are
// differences of phi. On the straight lines between rows it is exact:
//   phi(t) = Phi_p + (t - T_p) (K_p + lambda(t)) / 2.
struct LinearTable {
  std::vector<double> T, H, K;  // temperature degC, enthalpy J/m^3, conductivity W/(m K)
  std::vector<double> dT, dK;   // slopes to the next row, per J/m^3
  std::vector<double> Phi;      // Kirchhoff potential at every row, W/m
  EnthalpyIndex index;          // over H, which never falls

  void Build(const mat& ConstM);

  // Temperature and the inverse conductivity (thermal resistivity, m K/W)
  // at an enthalpy; stops the run outside the table's enthalpies.
  void FromEnthalpy(double h, double& t, double& rho) const {
    FromEnthalpyK(h, t, rho);
    rho = 1.0 / rho;
  }
  // The same with the conductivity itself, W/(m K).
  void FromEnthalpyK(double h, double& t, double& k) const {
    double d;
    const uword p = RowOf(h, d);
    t = T[p] + d * dT[p];
    k = K[p] + d * dK[p];
  }

  // Temperature and Kirchhoff potential (W/m) at an enthalpy: the row's
  // potential and the integral along its line, (t - T_p)(K_p + lambda(t)) / 2
  // with lambda(t) = K_p + d dK_p; stops the run outside the table's enthalpies.
  void FromEnthalpyPhi(double h, double& t, double& phi) const {
    double d;
    const uword p = RowOf(h, d);
    t = T[p] + d * dT[p];
    phi = Phi[p] + (d * dT[p]) * (K[p] + 0.5 * (d * dK[p]));
  }

  // Slope of the Kirchhoff potential against enthalpy on the line that holds
  // h, dphi/dH = lambda(t) dT/dH, m^2/s: the thermal diffusivity of a single
  // phase, small where the latent heat is released; stops the run outside the
  // table's enthalpies.
  double PhiSlope(double h) const {
    double d;
    const uword p = RowOf(h, d);
    return dT[p] * (K[p] + d * dK[p]);
  }

  // Enthalpy at a temperature, on the same lines; stops the run outside the
  // table's temperatures.
  double Enthalpy(double t) const;

 private:
  // Row whose line holds enthalpy h, and h's distance d above the row's
  // enthalpy; stops the run outside the table's enthalpies.
  uword RowOf(double h, double& d) const {
    const uword c = index.FirstAbove(h);
    if (c == 0 || c == H.size()) EnthalpyOutside(h, index.Hmax);
    d = h - H[c - 1];
    return c - 1;
  }
};

// The table of the strand's steel. The input (temperature degC, volumetric
// enthalpy kJ/m^3, conductivity W/(m K)) is refined onto whole degrees: row
// r stands for r + 1 degC, so that a temperature lookup is a direct row index.
struct Material {
  mat ConstM;   // refined table: temperature degC, enthalpy J/m^3, conductivity W/(m K)
  mat ConstM0;  // table as read (enthalpy in kJ/m^3)
  // Index of the enthalpy column of ConstM for the inverse lookup, rebuilt
  // by IndexConstM whenever ConstM is set.
  EnthalpyIndex ConstHindex;
  // The same table as straight lines between its rows (cylindrical step).
  LinearTable ConstLin;

  // Reads and refines the table of a file (stops the run on bad input);
  // SaveConstM writes the refined and the original table.
  void ReadConstM(const char* filename);
  void SaveConstM() const;
  void IndexConstM();
  // Enthalpy ('h') or conductivity ('k') at a temperature, at the nearest
  // whole degree.
  double getConstT(double T, char swtch) const;
  // Conductivity ('k'), temperature ('t') or enthalpy ('h') at an enthalpy:
  // the row just below the first row whose enthalpy exceeds H.
  double getConstH(double H, char swtch) const;
  cube TempToEn(const cube& T) const;
  cube EnToTemp(const cube& H) const;
  // The largest conductivity (W/(m K)) and the smallest volumetric heat
  // capacity c = dH/dT (J/(m^3 K)) of the refined table's set rows, which
  // bound how fast an explicit step may let heat spread; false when the
  // table gives no positive heat capacity.
  bool ConductionBounds(double& lambda_max, double& c_min) const;
};

// Solidus and liquidus estimated from the material table: the top stretch
// of rows whose heat capacity dH/dT exceeds three times the table's median,
// where the latent heat of solidification is released. False when the table
// shows no such stretch.
bool EstimateSolidusLiquidus(const mat& ConstM, double& solidus, double& liquidus);

}  // namespace tepora
