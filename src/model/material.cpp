// Material table of the cast steel and the enthalpy-temperature conversion.
//
// The input table (temperature degC, volumetric enthalpy kJ/m^3, conductivity
// W/(m K)) is refined onto whole degrees: row r stands for r + 1 degC, so a
// temperature lookup is a direct row index.
#include "model/material.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/numeric_text.h"

namespace tepora {

namespace {

// Highest temperature a table may reach: one refined row per degree, and
// steel melts near 1500 degC.
const double kHighestTableTemperature = 100000;

// Mean heat capacity, kJ/(m^3 K), above which a table cannot be in kJ/m^3:
// the sensible heat of any solid or liquid stays below 10^4, and a latent
// heat of even 3 * 10^6 kJ/m^3 adds less than 10^6 over any table spanning
// more than 3 K. Steel in J/m^3 gives 3.5 * 10^6 and more.
const double kMostMeanHeatCapacity = 1e6;

// A table in J/m^3 cools a thousand times too slowly; no run on it means
// anything, so it is refused rather than warned about.
void CheckEnthalpyUnit(const mat& M, const std::string& name) {
  const uword last = M.n_rows - 1;
  if (!(M(last, 0) > M(0, 0))) return;
  const double mean = (M(last, 1) - M(0, 1)) / (M(last, 0) - M(0, 0));
  if (mean > kMostMeanHeatCapacity)
    throw InputError(
        name + ": the enthalpy rises by " + ValueText(std::round(mean)) +
        " kJ/m^3 a kelvin on average from " + ValueText(M(0, 0)) + " to " + ValueText(M(last, 0)) +
        " degC, more than any material holds; expected " +
        "kJ/m^3, in which steel's enthalpy rises by 3500 to 5500 a kelvin (J/m^3 instead "
        "of kJ/m^3?)");
}

// The input table (plain text of at least three numbers a line, checked
// before loading) must give a well-defined refined table: finite values,
// positive conductivities, every temperature on a row of it.
void CheckTable(const mat& M, const char* filename) {
  const std::string name(filename);
  const auto line = [&](uword i) { return name + ": line " + std::to_string(i + 1); };
  for (uword i = 0; i < M.n_rows; ++i) {
    for (uword c = 0; c < 3; ++c)
      if (!std::isfinite(M(i, c)))
        throw InputError(line(i) + " holds the value " + ValueText(M(i, c)) + " in column " +
                         std::to_string(c + 1) + ", expected a finite number");
    if (!(M(i, 2) > 0))
      throw InputError(line(i) + " holds the conductivity " + ValueText(M(i, 2)) +
                       " W/(m K), expected a positive value");
  }
  const double last = M(M.n_rows - 1, 0);
  if (last > kHighestTableTemperature)
    throw InputError(line(M.n_rows - 1) + " holds the temperature " + ValueText(last) +
                     " degC, expected a highest temperature of at most " +
                     ValueText(kHighestTableTemperature) + " degC");
  const double N = std::trunc(last);
  for (uword i = 0; i < M.n_rows; ++i) {
    if (!TableCovers(M(i, 0), uword(std::max(N, 0.0))))
      throw InputError(line(i) + " holds the temperature " + ValueText(M(i, 0)) +
                       " degC, expected a value that rounds to 1 .. " + ValueText(N) +
                       " degC (the last line must hold the highest temperature)");
  }
  CheckEnthalpyUnit(M, name);
}

[[noreturn]] void BadSelector() { std::exit(1); }

}  // namespace

std::string TemperatureRangeText(uword N) { return "(0.5 .. " + ValueText(double(N) + 0.5) + " degC)"; }

void TemperatureOutside(double T, uword N) {
  throw TableRangeError("temperature " + ValueText(T) + " degC lies outside the material table " +
                        TemperatureRangeText(N));
}

void EnthalpyOutside(double H, const std::vector<double>& Hmax) {
  throw TableRangeError("enthalpy " + ValueText(H) + " J/m^3 lies outside the material table (" +
                        (Hmax.empty() ? std::string("empty")
                                      : ValueText(Hmax.front()) + " .. " + ValueText(Hmax.back())) +
                        " J/m^3)");
}

void EnthalpyIndex::Build(const mat& ConstM) {
  const uword N = ConstM.n_rows;
  Hmax.resize(N);
  double m = -datum::inf;
  for (uword r = 0; r < N; ++r) Hmax[r] = m = std::max(m, ConstM(r, 1));
  if (N == 0) {
    *this = EnthalpyIndex();
    return;
  }
  // Four buckets a row on average: the walk from a bucket's first row is a
  // row or two long where the rows are evenly spaced.
  const uword nb = 4 * N;
  const double width = (Hmax[N - 1] - Hmax[0]) / double(nb);
  inv_width = width > 0 ? 1.0 / width : 0.0;
  edge.resize(nb);
  first.resize(nb);
  uword c = 0;
  for (uword b = 0; b < nb; ++b) {
    edge[b] = Hmax[0] + double(b) * width;
    while (c < N && !(Hmax[c] > edge[b])) ++c;
    first[b] = c;
  }
}

void Material::ReadConstM(const char* filename) {
  ConstM0 = LoadNumericText(filename, {"temperature (degC), enthalpy (kJ/m^3), conductivity "
                                       "(W/(m K)) on every line",
                                       3, UINT_MAX, true});
  CheckTable(ConstM0, filename);
  const uword N = uword(ConstM0(ConstM0.n_rows - 1, 0));
  ConstM.zeros(N, 3);
  std::vector<uword> line_of_row(N, 0);  // input line that placed each row
  for (uword i = 0; i < ConstM0.n_rows; ++i) {
    const double c = ConstM0(i, 0);
    const uword r = TableRow(c);
    ConstM(r, 0) = c;
    ConstM(r, 1) = ConstM0(i, 1) * 1000;
    ConstM(r, 2) = ConstM0(i, 2);
    line_of_row[r] = i;
  }
  // Heat capacity is not negative: the enthalpy never falls from one placed
  // row to the next. Equal enthalpies (an isothermal step, or a coarse
  // export) are a plateau the inverse lookup crosses at its upper end.
  for (uword r = 0, prev = N; r < N; ++r) {
    if (!(ConstM(r, 0) > 0)) continue;
    if (prev < N && ConstM(r, 1) < ConstM(prev, 1))
      throw InputError(std::string(filename) + ": line " + std::to_string(line_of_row[r] + 1) +
                       " holds the enthalpy " + ValueText(ConstM0(line_of_row[r], 1)) +
                       " kJ/m^3 at " + ValueText(ConstM(r, 0)) + " degC, not above the " +
                       ValueText(ConstM0(line_of_row[prev], 1)) + " kJ/m^3 at " +
                       ValueText(ConstM(prev, 0)) +
                       " degC; expected the enthalpy not to fall as the temperature rises");
    prev = r;
  }
  // Rows without a point of their own lie on the straight line between the
  // nearest placed rows, starting from the row of 25 degC (or 26 degC);
  // rows of 1 to 25 degC are left as they are. Without a point on either of
  // those rows the first line would start from an empty row, a conductivity
  // and an enthalpy of zero at 25 degC.
  if (!(N > 24 && ConstM(24, 0) > 0) && !(N > 25 && ConstM(25, 0) > 0))
    throw InputError(std::string(filename) +
                     ": no line holds a temperature of 25 or 26 degC (to the nearest degree); "
                     "expected a point there, from which the rows between the table's points "
                     "are filled in" +
                     // Room temperature in kelvin is the usual first line of such a table.
                     (ConstM0(0, 0) > 270 && ConstM0(0, 0) < 310 ? " (kelvin instead of degC?)"
                                                                 : ""));
  // The next placed row of a gap is found once for the whole gap.
  if (N >= 27) {
    uword i_u = 0;
    for (uword i = 25; i <= N - 2; ++i) {
      if (ConstM(i, 0) >= 0.1) continue;
      ConstM(i, 0) = double(i + 1);
      const uword i_l = i - 1;
      if (i_u <= i) {
        i_u = i + 1;
        while (!(ConstM(i_u, 0) > 0)) ++i_u;
      }
      for (uword l = 1; l <= 2; ++l)
        ConstM(i, l) = ConstM(i_l, l) + (ConstM(i_u, l) - ConstM(i_l, l)) / double(i_u - i_l);
    }
  }
  IndexConstM();
}

void Material::SaveConstM() const {
  SaveWhole(ConstM, "TeporaOut/ConstM.mat");
  SaveWhole(ConstM0, "TeporaOut/ConstMorig.mat");
}

void Material::IndexConstM() {
  ConstHindex.Build(ConstM);
  ConstLin.Build(ConstM);
}

void LinearTable::Build(const mat& ConstM) {
  T.clear();
  H.clear();
  K.clear();
  for (uword r = 0; r < ConstM.n_rows; ++r)
    if (ConstM(r, 0) > 0) {
      T.push_back(ConstM(r, 0));
      H.push_back(ConstM(r, 1));
      K.push_back(ConstM(r, 2));
    }
  const uword n = T.size();
  dT.assign(n, 0.0);
  dK.assign(n, 0.0);
  for (uword p = 0; p + 1 < n; ++p) {
    const double dh = H[p + 1] - H[p];
    if (dh > 0) {
      dT[p] = (T[p + 1] - T[p]) / dh;
      dK[p] = (K[p + 1] - K[p]) / dh;
    }
  }
  // A plateau row still spans its temperatures: phi is a function of T.
  Phi.assign(n, 0.0);
  for (uword p = 0; p + 1 < n; ++p) Phi[p + 1] = Phi[p] + 0.5 * (K[p] + K[p + 1]) * (T[p + 1] - T[p]);
  mat column(n, 3, fill::zeros);
  for (uword p = 0; p < n; ++p) column(p, 1) = H[p];
  index.Build(column);
}

double LinearTable::Enthalpy(double t) const {
  const auto above = std::upper_bound(T.begin(), T.end(), t);
  if (!(t >= (T.empty() ? datum::inf : T.front())) || above == T.end()) {
    if (!T.empty() && t == T.back()) return H.back();
    throw TableRangeError("temperature " + ValueText(t) +
                          " degC lies outside the material table (" +
                          (T.empty() ? std::string("empty")
                                     : ValueText(T.front()) + " .. " + ValueText(T.back())) +
                          " degC)");
  }
  const uword p = uword(above - T.begin()) - 1;
  return H[p] + (t - T[p]) * ((H[p + 1] - H[p]) / (T[p + 1] - T[p]));
}

// Property at a temperature, taken at the nearest whole degree.
double Material::getConstT(double T, char swtch) const {
  const uword r = TableView(ConstM, ConstHindex).Row(T);
  if (swtch == 'h') return ConstM(r, 1);
  if (swtch == 'k') return ConstM(r, 2);
  BadSelector();
}

// Property at an enthalpy: the row just below the first row (from row 0 up)
// whose enthalpy exceeds H.
double Material::getConstH(double H, char swtch) const {
  const uword r = TableView(ConstM, ConstHindex).InverseRow(H);
  if (swtch == 'k') return ConstM(r, 2);
  if (swtch == 't') return ConstM(r, 0);
  if (swtch == 'h') return ConstM(r, 1);
  BadSelector();
}

bool Material::ConductionBounds(double& lambda_max, double& c_min) const {
  const mat& M = ConstM;
  lambda_max = 0.0;
  c_min = datum::inf;
  for (uword r = 0; r < M.n_rows; ++r) {
    if (!(M(r, 0) > 0)) continue;  // rows below the table's first point
    lambda_max = std::max(lambda_max, M(r, 2));
    if (r + 1 < M.n_rows && M(r + 1, 0) > M(r, 0)) {
      const double c = (M(r + 1, 1) - M(r, 1)) / (M(r + 1, 0) - M(r, 0));
      if (c > 0) c_min = std::min(c_min, c);
    }
  }
  return lambda_max > 0 && std::isfinite(c_min);
}

cube Material::TempToEn(const cube& T) const {
  cube H(arma::size(T));
  for (uword k = 0; k < T.n_slices; ++k)
    for (uword j = 0; j < T.n_cols; ++j)
      for (uword i = 0; i < T.n_rows; ++i) H(i, j, k) = getConstT(T(i, j, k), 'h');
  return H;
}

cube Material::EnToTemp(const cube& H) const {
  cube pT(arma::size(H));
  for (uword k = 0; k < H.n_slices; ++k)
    for (uword j = 0; j < H.n_cols; ++j)
      for (uword i = 0; i < H.n_rows; ++i) pT(i, j, k) = getConstH(H(i, j, k), 't');
  return pT;
}

bool EstimateSolidusLiquidus(const mat& ConstM, double& solidus, double& liquidus) {
  std::vector<double> t, c;
  for (uword r = 0; r + 1 < ConstM.n_rows; ++r)
    if (ConstM(r, 0) > 0 && ConstM(r + 1, 0) > ConstM(r, 0)) {
      t.push_back(ConstM(r, 0));
      c.push_back((ConstM(r + 1, 1) - ConstM(r, 1)) / (ConstM(r + 1, 0) - ConstM(r, 0)));
    }
  if (c.size() < 3) return false;
  std::vector<double> sorted = c;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double high = 3 * sorted[sorted.size() / 2];
  size_t top = c.size();
  while (top > 0 && !(c[top - 1] > high)) --top;
  if (top == 0) return false;
  size_t bottom = top - 1;
  while (bottom > 0 && c[bottom - 1] > high) --bottom;
  solidus = t[bottom];
  liquidus = top < t.size() ? t[top] : ConstM(ConstM.n_rows - 1, 0);
  return liquidus > solidus;
}

}  // namespace tepora
