// Construction of the thermal model: grid, cooling coefficients, initial field.
#include "model/tepora.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "model/formulations.h"

namespace tepora {

Tepora::Tepora(double dr0, double dz0, double pdphi, double pR, double pL, double pTaumax,
               double pT_in, const char* const_file, double pvz, double pT_inf, double pdtau,
               double htc) {
  material.ReadConstM(const_file);
  grid.R = pR;
  grid.L = pL;
  Taumax = pTaumax;
  T_in = pT_in;
  vz = pvz;
  cooling.T_inf = pT_inf;
  p = 0;
  grid.SetDisc(dr0, dz0, pdphi);
  dtau = pdtau;
  cooling.SetCoolM(grid, htc);
  CheckInletTemperature(const_file);
  field.T.set_size(grid.ndr, grid.ndphi, grid.ndz);
  InitialField();
  // Written once every input has been accepted, so that bad input leaves no
  // file behind.
  material.SaveConstM();
}

// Steel enters the mould liquid: a casting temperature at or below the
// solidus of the table's own latent heat starts a strand that is solid
// through, whose shell and crater end mean nothing, whatever else is stated.
void Tepora::CheckInletTemperature(const char* const_file) {
  if (!TableView(material.ConstM, material.ConstHindex).Covers(T_in))
    throw InputError("the casting temperature " + ValueText(T_in) +
                     " degC lies outside the material table of " + const_file + " " +
                     TemperatureRangeText(material.ConstM.n_rows));
  double solidus = 0, liquidus = 0;
  if (EstimateSolidusLiquidus(material.ConstM, solidus, liquidus) && !(T_in > solidus))
    throw InputError("the casting temperature " + ValueText(T_in) + " degC is at or below the " +
                     "solidus of the material table of " + const_file + ", whose latent heat " +
                     "lies between " + ValueText(solidus) + " and " + ValueText(liquidus) +
                     " degC; expected a casting temperature above " + ValueText(solidus) +
                     " degC, where the steel is still liquid" +
                     // No steel melts above 1650 degC; its range in kelvin lies there.
                     (solidus > 1650 ? " (a table in kelvin instead of degC?)" : ""));
}

// A start field saved by an earlier run is taken when it has exactly the
// dimensions of this grid. A field of other dimensions, such as an element
// field the optimiser left, is passed over silently; one that exists but
// cannot serve (unreadable, not a saved field, temperatures outside the
// table) is reported on one line. Either way the strand then starts full of
// steel at the casting temperature.
void Tepora::InitialField() {
  const char path[40] = "TeporaOut/T_0.cub";
  field.T.fill(T_in);
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
  if (!ParseSavedField(in, uword(grid.ndr), uword(grid.ndphi), uword(grid.ndz), start, why))
    return instead(why);
  if (start.is_empty()) return;
  const TableView tab(material.ConstM, material.ConstHindex);
  for (uword k = 0; k < start.n_slices; ++k)
    for (uword j = 0; j < start.n_cols; ++j)
      for (uword i = 0; i < start.n_rows; ++i)
        if (!tab.Covers(start(i, j, k)))
          return instead("cell (" + std::to_string(i) + ", " + std::to_string(j) + ", " +
                         std::to_string(k) + ") holds " + ValueText(start(i, j, k)) +
                         " degC, outside the material table " +
                         TemperatureRangeText(material.ConstM.n_rows));
  field.T = start;
  start_saved = true;
  std::printf("Start field: %s, saved by an earlier run (%d x %d x %d cells)\n", path, grid.ndr,
              grid.ndphi, grid.ndz);
}

Tepora::Tepora(double dr0, double dz0, double dphi, cube T_old, const mat& pConstM, double pvz,
               double pT_inf, double pdtau, double htc, double pTertiaryLength, double htcl,
               int n_z) {
  (void)dphi;  // the angular width follows from the field
  material.ConstM = pConstM;
  material.IndexConstM();
  Taumax = 0.0;
  T_in = T_old(0, 0, 0);
  vz = pvz;
  cooling.T_inf = pT_inf;
  p = 0;
  cooling.TertiaryLength = pTertiaryLength < 0.0 ? 0.0 : pTertiaryLength;
  grid.SetDisc(dr0, dz0, T_old);
  dtau = pdtau;
  cooling.SetCoolM(grid, htc, htcl, n_z);
  field.T = std::move(T_old);
  grid.R = grid.ndr * dr0;
  grid.L = grid.ndz * dz0;
}

// The longest stable time step of the run's formulation at a casting speed,
// from the largest conductivity and the smallest volumetric heat capacity
// c = dH/dT of the table's set rows. Infinite when the table gives no
// positive heat capacity.
double Tepora::StableStepEstimate(double speed) const {
  double lambda_max, c_min;
  if (!material.ConductionBounds(lambda_max, c_min)) return datum::inf;
  return WithFormulation(model, [&](auto kind) {
    return decltype(kind)::type::StableStep(*this, speed, lambda_max, c_min);
  });
}

}  // namespace tepora
