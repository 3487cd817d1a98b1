#include "run_setup.h"

#include <omp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <limits>
#include <new>

#include "numeric_text.h"
#include "optimise.h"

namespace {

const double kPi = 3.141592653589793;

// The cells a width gives across an extent must lie within [minimum, INT_MAX].
void RequireCells(double count, const char* what, double minimum, const std::string& width,
                  const std::string& extent) {
  if (count >= minimum && count <= double(INT_MAX)) return;
  throw InputError(width + " gives " + ValueText(count) + " " + what + " across " + extent +
                   "; expected " +
                   (count < minimum ? "at least " + ValueText(minimum)
                                    : "at most " + std::to_string(INT_MAX)));
}

// Bytes the memory cgroup of a container still allows (v2, then v1);
// infinite without a limit.
double CgroupBytes() {
  const char* files[2][2] = {{"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current"},
                             {"/sys/fs/cgroup/memory/memory.limit_in_bytes",
                              "/sys/fs/cgroup/memory/memory.usage_in_bytes"}};
  for (const auto& f : files) {
    double limit = 0, usage = 0;
    if (std::ifstream(f[0]) >> limit) {
      std::ifstream(f[1]) >> usage;
      return limit - usage;
    }
  }
  return std::numeric_limits<double>::infinity();
}

// Bytes of memory this process may still take: what the system reports
// available, within the container's and the process's limits.
double AvailableBytes() {
  double bytes = double(sysconf(_SC_PHYS_PAGES)) * double(sysconf(_SC_PAGESIZE));
  std::ifstream meminfo("/proc/meminfo");
  for (std::string key; meminfo >> key;) {
    double kb;
    if (key == "MemAvailable:" && meminfo >> kb) {
      bytes = kb * 1024;
      break;
    }
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    bytes = std::min(bytes, double(limit.rlim_cur));
  return std::min(bytes, CgroupBytes());
}

std::string BytesText(double bytes) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB"};
  int u = 0;
  while (bytes >= 1000 && u < 5) bytes /= 1000, ++u;
  char text[32];
  std::snprintf(text, sizeof text, "%.3g %s", bytes, units[u]);
  return text;
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

void CheckOutputDir() {
  struct stat st;
  if (stat("TeporaOut", &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access("TeporaOut", W_OK | X_OK) != 0)
    throw InputError(
        "TeporaOut: the output directory is missing or not writable; create it beside Input/ "
        "in the directory the program runs in");
}

void ClearStaleTemporaries() {
  for (const char* path : {"TeporaOut/ConstM.mat", "TeporaOut/ConstMorig.mat", "TeporaOut/H_0.cub",
                           "TeporaOut/T_0_final.cub", "TeporaOut/TempProfile_final.mat",
                           "TeporaOut/T_0.cub", "TeporaOut/TempProfile_part.mat",
                           "TeporaOut/T_opt.cub", "TeporaOut/Profile.mat", "T_old.cub", "Tf.vec"})
    RemoveStaleTemporaries(path);
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
  const GridSize grid{CellsToCover(Techset(0), Numset(0)),
                      CellsToCover(2 * kPi, kPi * Numset(2)),
                      CellsToCover(Techset(1), Numset(1))};
  const auto width = [&](uword i) { return num.Entry(i) + " = " + ValueText(Numset(i)); };
  const auto extent = [&](uword i) { return tech.Entry(i) + " = " + ValueText(Techset(i)); };
  RequireCells(grid.ndr, "radial cell(s)", 2, width(0), extent(0));
  RequireCells(grid.ndphi, "angular cell(s)", 3, width(2), "the circle (2 pi)");
  RequireCells(grid.ndz, "slice(s)", 3, width(1), extent(1));
  return grid;
}

// Per cell of the strand the simulator keeps the field, two enthalpy
// buffers, the next field and the returned copy (8 bytes each), and the
// text of a saved field (25 bytes a number).
double SimulatorBytes(const GridSize& grid) { return grid.Cells() * (5 * 8 + 26); }

// The optimiser keeps about twelve numbers per cell of the strand (the
// fields, the elements with their shared slices, the packed results) and
// every running element model about sixteen per element cell (its fields,
// buffers, copies and the text of its saved field).
double OptimiserBytes(const GridSize& grid, double element_slices, int threads) {
  return grid.Cells() * 12 * 8 + grid.ndr * grid.ndphi * element_slices * 16 * 8 * threads;
}

void CheckMemory(const GridSize& grid, double bytes) {
  const double available = AvailableBytes();
  if (bytes <= available) return;
  throw InputError("the grid of " + ValueText(grid.ndr) + " x " + ValueText(grid.ndphi) + " x " +
                   ValueText(grid.ndz) + " = " + ValueText(grid.Cells()) + " cells needs about " +
                   BytesText(bytes) + " (" + ValueText(bytes) + " bytes) of memory, more than the " +
                   BytesText(available) +
                   " available; expected larger cell widths (Input/NumSettings.txt lines 1 to 3) "
                   "or a smaller strand (Input/TechSettings.txt lines 1 and 2)");
}

ControlPoints LoadControlPoints(const char* path) {
  ControlPoints CP;
  CP.CPMat = LoadNumericText(
      path, {"r (m), phi (rad), z (m), target temperature (degC) on every line", 4, UINT_MAX, false});
  CP.nPoints = int(CP.CPMat.n_rows);
  return CP;
}

ControlPoints UnusedControlPoints(const char* path) {
  if (!IsSpecialFile(path)) return ControlPoints(path);
  std::cerr << "warning: " << path << ": is not a regular file and is not read; the simulator "
            << "does not use control points" << std::endl;
  return ControlPoints();
}

void CheckOptimiserInputs(const ControlPoints& CP, const vec& Numset, const GridSize& grid,
                          double overlap) {
  const SettingsFile opt = OptSettingsFile();
  vec Settings;
  LoadSettings(Settings, opt, 6);
  CheckOptSettings(Settings, opt);
  // A run without iterations or without time steps would report htcs that
  // were never searched.
  CountSetting(Settings, opt, 3, 1);
  CountSetting(Settings, opt, 5, 1);
  const double steps[3] = {Numset(0), kPi * Numset(2), Numset(1)};
  const int counts[3] = {int(grid.ndr), int(grid.ndphi), int(grid.ndz)};
  CheckControlPoints(CP.CPMat, steps, counts);
  const int nElem = CountSetting(Settings, opt, 4);
  const ElementLayout elements = ElementLayoutOf(nElem, overlap, counts[2]);
  const std::vector<uword> slices = elements.Counts();
  vec offset(CP.CPMat.n_rows), element;
  for (uword p = 0; p < offset.n_elem; ++p) offset(p) = GridIndex(CP.CPMat(p, 2), steps[2]);
  PlacePoints(offset, element, slices, int(elements.right[1].Count()));
  CheckUnpointedElements(element, offset(0), slices, false);
  CheckMemory(grid, OptimiserBytes(grid, double(*std::max_element(slices.begin(), slices.end())),
                                   omp_get_max_threads()));
}

Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax,
                        const char* table) {
  return Tepora(Numset(0), Numset(1), kPi * Numset(2), Techset(0), Techset(1), Taumax,
                Techset(3), table, Techset(4) / 60, Techset(2), Numset(3), Techset(5));
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

int RunProgram(const std::function<void()>& work) {
  ResetWriteFailures();
  try {
    work();
  } catch (const InputError& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    return kExitBadInput;
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "error: out of memory" << std::endl;
    return kExitComputeError;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    return kExitComputeError;
  }
  std::cout.flush();
  return AnyWriteFailed() ? kExitWriteFailed : kExitOk;
}

void PrintElapsed(time_t start) {
  time_t end;
  time(&end);
  const double dif = difftime(end, start);
  printf("\n Elapsed time is %.2lf minutes.", dif / 60);
  fflush(stdout);
}
