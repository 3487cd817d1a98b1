#include "apps/run_settings.h"

#include <omp.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iostream>

#include "common/numeric_text.h"
#include "optimise/optimise.h"
#include "apps/worker_stack.h"

namespace tepora {

namespace {

// The cells a width gives across an extent must lie within [minimum, INT_MAX].
void RequireCells(double count, const char* what, double minimum, const std::string& width,
                  const std::string& extent) {
  if (count >= minimum && count <= double(INT_MAX)) return;
  throw InputError(
      width + " gives " + ValueText(count) + " " + what + " across " + extent + "; expected " +
      (count < minimum ? "at least " + ValueText(minimum) : "at most " + std::to_string(INT_MAX)));
}

// Round strands are cast up to about 1.2 m across; a radius beyond 1 m is
// more likely a radius in mm or cm than a caster.
const double kLargestStrandRadius = 1.0;  // m

void Warn(const std::string& line) {
  std::cout.flush();
  std::cerr << "warning: " << line << std::endl;
}

}  // namespace

SettingsFile NumSettingsFile(const char* path) {
  return {path,
          {"radial cell width, m", "axial cell length, m", "angular cell width, multiple of pi",
           "time step, s", "number of time steps"}};
}

SettingsFile TechSettingsFile(const char* path) {
  return {path,
          {"strand radius, m", "modelled length, m", "ambient temperature, degC",
           "casting temperature, degC", "casting speed, m/min", "spray htc, W/(m2 K)",
           "optimiser casting speed, m/min"}};
}

GridSize CheckRunSettings(const vec& Numset, const vec& Techset, const SettingsFile& num,
                          const SettingsFile& tech, const SettingsNeeds& needs) {
  for (uword i = 0; i < 4; ++i) RequireAbove(Numset, num, i, 0);
  RequireAbove(Techset, tech, 0, 0);
  RequireAbove(Techset, tech, 1, 0);
  RequireAbove(Techset, tech, 2, -273.15);
  // The strand cools towards the ambient: natural convection takes the cube
  // root of the surface's excess temperature.
  if (!(Techset(2) < Techset(3)))
    throw InputError(tech.Entry(3) + " is " + ValueText(Techset(3)) + ", expected a casting " +
                     "temperature above the ambient temperature of line 3 (" +
                     ValueText(Techset(2)) + ")");
  RequireAbove(Techset, tech, 4, 0, true);
  RequireAbove(Techset, tech, 5, 0, true);
  if (needs.tech > 6) RequireAbove(Techset, tech, 6, 0, true);
  const GridSize grid{CellsToCover(Techset(0), Numset(0)), CellsToCover(2 * kPi, kPi * Numset(2)),
                      CellsToCover(Techset(1), Numset(1))};
  const auto width = [&](uword i) { return num.Entry(i) + " = " + ValueText(Numset(i)); };
  const auto extent = [&](uword i) { return tech.Entry(i) + " = " + ValueText(Techset(i)); };
  RequireCells(grid.ndr, "radial cell(s)", 2, width(0), extent(0));
  RequireCells(grid.ndphi, "angular cell(s)", 3, width(2), "the circle (2 pi)");
  RequireCells(grid.ndz, "slice(s)", 3, width(1), extent(1));
  // Said before the run starts, which on such a grid may take hours.
  if (Techset(0) > kLargestStrandRadius)
    Warn(tech.Entry(0) + " is " + ValueText(Techset(0)) + " m, more than the " +
         ValueText(kLargestStrandRadius) + " m of the largest round strands (mm or cm instead " +
         "of m?); the grid holds " + ValueText(grid.ndr) + " x " + ValueText(grid.ndphi) + " x " +
         ValueText(grid.ndz) + " = " + ValueText(grid.Cells()) + " cells");
  // The simulator's step count: none is a run that only writes the starting field.
  if (needs.num > 4 && CountSetting(Numset, num, 4, 0) == 0)
    Warn(num.Entry(4) + " is 0: no time step is computed, and the results show the strand " +
         "as it starts");
  return grid;
}

ControlPoints LoadControlPoints(const char* path) {
  ControlPoints CP;
  CP.CPMat = LoadNumericText(
      path,
      {"r (m), phi (rad), z (m), target temperature (degC) on every line", 4, UINT_MAX, false});
  CP.nPoints = int(CP.CPMat.n_rows);
  return CP;
}

ControlPoints UnusedControlPoints(const char* path) {
  try {
    return LoadControlPoints(path);
  } catch (const InputError& e) {
    Warn(std::string(e.what()) + "; the simulator goes on and compares no control points");
    return ControlPoints();
  }
}

OptimiserCounts CheckOptimiserInputs(const ControlPoints& CP, const vec& Numset,
                                     const GridSize& grid, double overlap) {
  const SettingsFile opt = OptSettingsFile();
  vec Settings;
  LoadSettings(Settings, opt, 6);
  CheckOptSettings(Settings, opt);
  const OptimiserCounts counts{CountSetting(Settings, opt, 3, 0),
                               CountSetting(Settings, opt, 5, 0)};
  const double steps[3] = {Numset(0), kPi * Numset(2), Numset(1)};
  const int cells[3] = {int(grid.ndr), int(grid.ndphi), int(grid.ndz)};
  CheckControlPoints(CP.CPMat, steps, cells);
  const int nElem = CountSetting(Settings, opt, 4);
  const ElementLayout elements = ElementLayoutOf(nElem, overlap, cells[2]);
  const std::vector<uword> slices = elements.Counts();
  vec offset(CP.CPMat.n_rows), element;
  for (uword p = 0; p < offset.n_elem; ++p) offset(p) = PointSlice(CP.CPMat(p, 2), steps[2]);
  PlacePoints(offset, element, slices, int(elements.right[1].Count()));
  CheckUnpointedElements(element, offset(0), slices, false);
  double candidates = 0;  // as the search builds its grid, by repeated addition
  for (double htc = Settings(0); htc <= Settings(1); htc += Settings(2)) ++candidates;
  CheckOptimiserMemory(grid, {double(*std::max_element(slices.begin(), slices.end())), nElem,
                              nElem * candidates, omp_get_max_threads(), WorkerStackBytes()});
  return counts;
}

void WarnIfUnsearched(const OptimiserCounts& counts) {
  if (counts.iterations > 0 && counts.element_steps > 0) return;
  const SettingsFile opt = OptSettingsFile();
  std::cout.flush();
  std::cerr << "warning: " << opt.Entry(counts.iterations > 0 ? 5 : 3) << " is 0: "
            << (counts.iterations > 0 ? "no candidate htc acted on an element, "
                                        "so every element kept the lowest; "
                                      : "no iteration ran; ")
            << "the htcs printed were not searched" << std::endl;
}

Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax, const char* table) {
  return Tepora(Numset(0), Numset(1), kPi * Numset(2), Techset(0), Techset(1), Taumax, Techset(3),
                table, Techset(4) / 60, Techset(2), Numset(3), Techset(5));
}

// A tenth of the mould: the shell grows as the root of the time in the
// mould, and the slices along it must follow that growth to read the shell
// at its exit to about a millimetre.
const double kMouldSlices = 10;

void WarnIfMouldCoarse(const Tepora& P, const SettingsFile& num) {
  if (P.model != Formulation::Cylindrical || !(P.cooling.CrystallizerLength > 0)) return;
  const double longest = P.grid.dz.max(), most = P.cooling.CrystallizerLength / kMouldSlices;
  if (!(longest > most)) return;
  std::cout.flush();
  std::cerr << "warning: " << num.Entry(1) << " is " << ValueText(longest)
            << " m, longer than a tenth of the " << ValueText(P.cooling.CrystallizerLength)
            << " m mould, which then spans fewer than " << kMouldSlices
            << " slices; the shell and the surface at its exit change with the grid; expected "
               "at most "
            << ValueText(most) << " m" << std::endl;
}

void WarnIfUnstable(Tepora& P, double speed, const SettingsFile& num) {
  const double limit = P.StableStepEstimate(speed);
  if (!(P.dtau > limit)) return;
  std::cout.flush();
  char about[32];
  std::snprintf(about, sizeof about, "%.3g", limit);
  std::cerr << "warning: " << num.Entry(3) << " is " << ValueText(P.dtau)
            << " s, above the stability limit of about " << about
            << " s for this grid and material table; temperatures may oscillate and leave the "
               "table"
            << std::endl;
}

}  // namespace tepora
