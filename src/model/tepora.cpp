// Construction of the thermal model: grid, cooling coefficients, initial field.
#include "tepora.h"

#include <sys/stat.h>

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "lookup.h"
#include "strand_results.h"

double CellsToCover(double extent, double width) { return std::ceil(extent / width); }

std::vector<char> AirCooledSlices(const vec& dz, double air_length) {
  const double start = arma::accu(dz) - air_length;
  std::vector<char> air(dz.n_elem, 0);
  double z = 0.0;
  for (uword k = 0; k < dz.n_elem; ++k) {
    air[k] = z + 0.5 * dz(k) >= start;
    z += dz(k);
  }
  return air;
}

Tepora::Tepora(double dr0, double dz0, double pdphi, double pR, double pL, double pTaumax,
               double pT_in, const char* const_file, double pvz, double pT_inf, double pdtau,
               double htc)
    : dr(), dz() {
  ReadConstM(const_file);
  R = pR;
  L = pL;
  Taumax = pTaumax;
  T_in = pT_in;
  vz = pvz;
  T_inf = pT_inf;
  p = 0;
  SetDisc(dr0, dz0, pdphi);
  dtau = pdtau;
  SetCoolM(htc);
  CrystallizerLength = kMouldLength;
  htc_k = kMouldHtc;
  T_k = kMouldCoolant;
  TertiaryLength = kAirCooledLength;
  CheckInletTemperature(const_file);
  T.set_size(ndr, ndphi, ndz);
  InitialField();
  // Written once every input has been accepted, so that bad input leaves no
  // file behind.
  SaveConstM();
}

// Steel enters the mould liquid: a casting temperature at or below the
// solidus of the table's own latent heat starts a strand that is solid
// through, whose shell and crater end mean nothing, whatever else is stated.
void Tepora::CheckInletTemperature(const char* const_file) {
  if (!TableView(ConstM, ConstHindex).Covers(T_in))
    throw InputError("the casting temperature " + ValueText(T_in) +
                     " degC lies outside the material table of " + const_file + " " +
                     TemperatureRangeText(ConstM.n_rows));
  double solidus = 0, liquidus = 0;
  if (EstimateSolidusLiquidus(ConstM, solidus, liquidus) && !(T_in > solidus))
    throw InputError("the casting temperature " + ValueText(T_in) + " degC is at or below the " +
                     "solidus of the material table of " + const_file + ", whose latent heat " +
                     "lies between " + ValueText(solidus) + " and " + ValueText(liquidus) +
                     " degC; expected a casting temperature above " + ValueText(solidus) +
                     " degC, where the steel is still liquid" +
                     // No steel melts above 1650 degC; its range in kelvin lies there.
                     (solidus > 1650 ? " (a table in kelvin instead of degC?)" : ""));
}

namespace {

// Parses a field in the text format the solvers save it in ("ARMA_CUB_TXT_FN008",
// the rows, columns and slices, then the values slice by slice, row by row).
// Returns false with the reason when the text is not such a field; leaves
// `field` empty when its dimensions differ from the expected ones, without
// reading its values.
bool ParseSavedField(std::istream& in, uword rows, uword cols, uword slices, cube& field,
                     std::string& why) {
  std::string header;
  uword r = 0, c = 0, s = 0;
  // The header is read as a word, so a line that ends in CR LF or carries
  // trailing blanks, as editors and other systems write it, still names a field.
  if (!(in >> header) || header != "ARMA_CUB_TXT_FN008" || !(in >> r >> c >> s)) {
    why = "is not a temperature field saved by the simulator (no ARMA_CUB_TXT_FN008 header)";
    return false;
  }
  if (r != rows || c != cols || s != slices) return true;
  field.set_size(r, c, s);
  std::string token;
  for (uword k = 0; k < s; ++k)
    for (uword i = 0; i < r; ++i)
      for (uword j = 0; j < c; ++j) {
        char* end = nullptr;
        if (!(in >> token) || (field(i, j, k) = std::strtod(token.c_str(), &end), *end != '\0')) {
          why = "holds " + std::string(in ? "\"" + token.substr(0, 24) + "\"" : "no value") +
                " for cell (" + std::to_string(i) + ", " + std::to_string(j) + ", " +
                std::to_string(k) + "), expected a temperature";
          return false;
        }
      }
  if (in >> token) {
    why = "holds more values than its " + std::to_string(r) + " x " + std::to_string(c) + " x " +
          std::to_string(s) + " cells";
    return false;
  }
  return true;
}

}  // namespace

// A start field saved by an earlier run is taken when it has exactly the
// dimensions of this grid. A field of other dimensions, such as an element
// field the optimiser left, is passed over silently; one that exists but
// cannot serve (unreadable, not a saved field, temperatures outside the
// table) is reported on one line. Either way the strand then starts full of
// steel at the casting temperature.
void Tepora::InitialField() {
  const char path[40] = "TeporaOut/T_0.cub";
  T.fill(T_in);
  const auto instead = [&](const std::string& why) {
    std::cerr << "warning: " << path << ": " << why
              << "; the strand starts at the casting temperature " << ValueText(T_in)
              << " degC instead" << std::endl;
  };
  struct stat st;
  if (stat(path, &st) != 0) {
    if (errno != ENOENT) return instead(std::string("cannot be read (") + std::strerror(errno) + ")");
    // A link to nothing is a start field meant and lost, not a run without one.
    if (lstat(path, &st) == 0) instead("is a symbolic link to a file that does not exist");
    return;
  }
  if (!S_ISREG(st.st_mode)) return instead("is not a regular file");
  std::ifstream in(path);
  if (!in) return instead(std::string("cannot be read (") + std::strerror(errno) + ")");
  cube start;
  std::string why;
  if (!ParseSavedField(in, uword(ndr), uword(ndphi), uword(ndz), start, why)) return instead(why);
  if (start.is_empty()) return;
  const TableView tab(ConstM, ConstHindex);
  for (uword k = 0; k < start.n_slices; ++k)
    for (uword j = 0; j < start.n_cols; ++j)
      for (uword i = 0; i < start.n_rows; ++i)
        if (!tab.Covers(start(i, j, k)))
          return instead("cell (" + std::to_string(i) + ", " + std::to_string(j) + ", " +
                         std::to_string(k) + ") holds " + ValueText(start(i, j, k)) +
                         " degC, outside the material table " +
                         TemperatureRangeText(ConstM.n_rows));
  T = start;
  std::printf("Start field: %s, saved by an earlier run (%d x %d x %d cells)\n", path, ndr, ndphi,
              ndz);
}

Tepora::Tepora(double dr0, double dz0, double dphi, cube T_old, const mat& pConstM,
               double pvz, double pT_inf, double pdtau, double htc, double pTertiaryLength,
               double htcl, int n_z)
    : ConstM(pConstM), dr(), dz() {
  (void)dphi;  // the angular width follows from the field
  IndexConstM();
  Taumax = 0.0;
  T_in = T_old(0, 0, 0);
  vz = pvz;
  T_inf = pT_inf;
  p = 0;
  CrystallizerLength = kMouldLength;
  htc_k = kMouldHtc;
  T_k = kMouldCoolant;
  TertiaryLength = pTertiaryLength < 0.0 ? 0.0 : pTertiaryLength;
  SetDisc(dr0, dphi, dz0, T_old);
  dtau = pdtau;
  SetCoolM(htc, htcl, n_z);
  T = T_old;
  R = ndr * dr0;
  L = ndz * dz0;
}

Tepora::~Tepora() { erase(); }

void Tepora::erase() {
  T.reset();
  ConstM.reset();
  ConstHindex = EnthalpyIndex();
  ConstLin = LinearTable();
  CoolM.reset();
  dphi = R = L = vz = Taumax = T_inf = T_in = 0.0;
  TertiaryLength = CrystallizerLength = htc_k = T_k = 0.0;
  dr.reset();
  dz.reset();
  ndz = ndphi = ndr = 0;
}

// Uniform grid covering at least the radius, the full circle and the length.
void Tepora::SetDisc(double dr0, double dz0, double phi) {
  ndr = int(CellsToCover(R, dr0));
  dr.set_size(ndr);
  dr.fill(dr0);
  dphi = phi;
  ndphi = int(CellsToCover(2 * kPi, phi));
  ndz = int(CellsToCover(L, dz0));
  dz.set_size(ndz);
  dz.fill(dz0);
}

// Uniform grid whose counts are the dimensions of an element's field.
void Tepora::SetDisc(double pdr0, double pdphi, double pdz0, cube& T_old) {
  (void)pdphi;
  ndr = int(T_old.n_rows);
  dr.set_size(ndr);
  dr.fill(pdr0);
  ndphi = int(T_old.n_cols);
  dphi = 2 * kPi / ndphi;
  ndz = int(T_old.n_slices);
  dz.set_size(ndz);
  dz.fill(pdz0);
}

// Rings of equal area: ring i spans radii R sqrt(i/n) to R sqrt((i+1)/n),
// with n the smallest count whose outermost ring is not wider than dr0.
void Tepora::SetSqR(double dr0, double pR) {
  const double q = 1.0 - dr0 / pR;
  ndr = int(std::ceil(1.0 / (1.0 - q * q)));
  dr.set_size(ndr);
  for (int i = 0; i < ndr; ++i)
    dr(i) = (std::sqrt(double(i + 1) / ndr) - std::sqrt(double(i) / ndr)) * R;
}

// Radius of radial index ind: r(ind) = dr(0) + dr(0) + dr(1) + ... + dr(ind - 1).
double Tepora::getR(int ind) {
  double r = dr(0);
  for (int i = 0; i < ind; ++i) r += dr(i);
  return r;
}

std::vector<int> Tepora::SetZones(const CasterZones& zones) {
  CrystallizerLength = zones.mould_length;
  htc_k = zones.mould_htc;
  T_k = zones.coolant;
  // Positions along a caster are known to the micrometre at best, so the air
  // cooling's length is the difference of two of them rounded to the
  // micrometre: the binary remainder of a subtraction (12.8 - 7.8 =
  // 5.000000000000001) would otherwise move the zone's first slice, and a
  // file that states the built-in air cooling would not give the built-in zone.
  TertiaryLength = std::isnan(zones.air_from)
                       ? kAirCooledLength
                       : std::round((L - zones.air_from) * 1e6) / 1e6;
  std::vector<int> covered;
  for (const SprayZone& zone : zones.sprays) {
    int n = 0;
    double z = 0.0;
    for (int k = 0; k < ndz; ++k) {
      const double centre = z + 0.5 * dz(k);
      if (zone.from_m <= centre && centre < zone.to_m) {
        CoolM.col(k).fill(zone.htc);
        ++n;
      }
      z += dz(k);
    }
    covered.push_back(n);
  }
  return covered;
}

double Tepora::FaceRadius(int i) const {
  double r = 0.0;
  for (int n = 0; n < i; ++n) r += dr(n);
  return r;
}

double Tepora::CentreRadius(int i) const { return FaceRadius(i) + 0.5 * dr(i); }

double EnergyAccount::Scale() const {
  return std::max({std::fabs(content_start - content_end), std::fabs(surface_out),
                   std::fabs(carried_in), std::fabs(carried_out)});
}

void Tepora::SetDtau(double pdtau) { dtau = pdtau; }

void Tepora::SetCoolM(double htc) {
  CoolM.set_size(ndphi, ndz);
  CoolM.fill(htc);
}

void Tepora::SetCoolM(double htc0, double htcl, int n_z) {
  SetCoolM(htc0);
  CoolM.cols(0, n_z).fill(htcl);
}
