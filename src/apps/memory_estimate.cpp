#include "apps/memory_estimate.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>

#include "common/errors.h"

namespace tepora {

namespace {

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

std::string AboutBytes(double bytes) {
  return BytesText(bytes) + " (" + ValueText(bytes) + " bytes)";
}

// The optimiser keeps about twelve numbers per cell of the strand (the
// fields, the elements with their shared slices, the packed results) and
// every running element model about sixteen per element cell (its fields,
// buffers, copies and the text of its saved field).
double StrandBytes(const GridSize& grid) { return grid.Cells() * 12 * 8; }
double ElementModelBytes(const GridSize& grid, const OptimiserRun& run) {
  return grid.ndr * grid.ndphi * run.element_slices * 16 * 8;
}

// Every element's search is prepared once (one element model each), and
// every thread that runs a candidate holds a copy; threads beyond the
// iteration's (element, candidate) pairs start and wait: they hold a stack
// but no element model.
double ThreadBytes(const GridSize& grid, const OptimiserRun& run, double threads) {
  return ElementModelBytes(grid, run) * (run.elements + std::min(threads, run.pairs)) +
         run.stack_bytes * (threads - 1);
}

// The most threads whose run fits in `room` bytes beside the strand.
double ThreadsThatFit(const GridSize& grid, const OptimiserRun& run, double room) {
  const double model = ElementModelBytes(grid, run), stack = run.stack_bytes;
  const double left = room - model * run.elements;
  const double working = std::floor((left + stack) / (model + stack));
  if (working < run.pairs) return std::max(working, 0.0);
  return std::floor((left + stack - model * run.pairs) / std::max(stack, 1.0));
}

[[noreturn]] void RefuseGrid(const GridSize& grid, double bytes, double available) {
  throw InputError("the grid of " + ValueText(grid.ndr) + " x " + ValueText(grid.ndphi) + " x " +
                   ValueText(grid.ndz) + " = " + ValueText(grid.Cells()) + " cells needs about " +
                   AboutBytes(bytes) + " of memory, more than the " + BytesText(available) +
                   " available; expected larger cell widths (Input/NumSettings.txt lines 1 to 3) "
                   "or a smaller strand (Input/TechSettings.txt lines 1 and 2)");
}

}  // namespace

// Per cell of the strand the simulator keeps the field, two enthalpy
// buffers, the next field and the returned copy (8 bytes each), and the
// text of a saved field (25 bytes a number).
double SimulatorBytes(const GridSize& grid) { return grid.Cells() * (5 * 8 + 26); }

double OptimiserBytes(const GridSize& grid, const OptimiserRun& run) {
  return StrandBytes(grid) + ThreadBytes(grid, run, run.threads);
}

void CheckMemory(const GridSize& grid, double bytes) {
  const double available = AvailableBytes();
  if (bytes > available) RefuseGrid(grid, bytes, available);
}

void CheckOptimiserMemory(const GridSize& grid, const OptimiserRun& run) {
  const double bytes = OptimiserBytes(grid, run), available = AvailableBytes();
  if (bytes <= available) return;
  if (StrandBytes(grid) + ThreadBytes(grid, run, 1) > available) RefuseGrid(grid, bytes, available);
  const double room = available - StrandBytes(grid);
  const char* set = std::getenv("OMP_NUM_THREADS");
  throw InputError("the optimiser's " + std::to_string(run.threads) + " threads (" +
                   (set ? "OMP_NUM_THREADS=" + std::string(set) : std::string("one a processor")) +
                   ") need about " + AboutBytes(ThreadBytes(grid, run, run.threads)) +
                   " of memory for their stacks of " + BytesText(run.stack_bytes) +
                   " and element models, more than the " + BytesText(room) +
                   " left beside the strand's arrays; expected OMP_NUM_THREADS of at most " +
                   ValueText(ThreadsThatFit(grid, run, room)) + " (more threads than the " +
                   ValueText(run.pairs) + " (element, candidate) pairs gain nothing)");
}

}  // namespace tepora
