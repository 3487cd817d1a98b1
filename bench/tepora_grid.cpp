// Grid convergence of the example billet: the strand under its own zones run
// to steady state on rings of 8, 4 and 2 mm and slices of 0.1, 0.05 and
// 0.025 m, run from anywhere:
//   build/bench/tepora-grid [example directory] [largest cells]
// prints a Markdown table of the shell at the mould exit, the crater end
// (the axis wholly solid) and the heat the mould takes out, and of each
// figure's change against the finest grid. Every grid runs 600 s of the
// casting, one and a half transits of the example; the time step scales
// with the ring width squared from the example's 0.3 s on 8 mm rings, so the
// time error stays a like share of the space error. Grids above `largest
// cells` (default: all) are left out and marked so.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "apps/caster_file.h"
#include "apps/run_setup.h"
#include "model/strand_results.h"

using namespace tepora;

namespace fs = std::filesystem;

namespace {

const double kRings[] = {0.008, 0.004, 0.002};  // m
const double kSlices[] = {0.1, 0.05, 0.025};    // m
const double kSimulated = 600.0;                 // s of casting
const double kStep8mm = 0.3;                     // s, the example's time step on 8 mm rings

struct Figures {
  bool run = false;
  double shell_mm = NAN, crater_m = NAN, mould_kW = NAN, seconds = NAN;
  long cells = 0, steps = 0;
};

// Heat the mould takes out of the strand at the last step, W: the surface
// flux of every cell of a slice whose centre lies in the mould, of the
// slices the step updates.
double MouldHeat(Tepora& P) {
  StepRule rule;
  const CylinderStep plan(P, rule);
  double total = 0.0;
  for (int k = plan.lo; k < P.grid.ndz; ++k) {
    if (!plan.mould[k]) continue;
    for (int j = 0; j < P.grid.ndphi; ++j) {
      double t, rho, q, Ts;
      P.material.ConstLin.FromEnthalpy(P.field.H_final(P.grid.ndr - 1, j, k), t, rho);
      SurfaceFlux(plan.SurfaceLawAt(P, j, k), plan.air, P.field.T(P.grid.ndr - 1, j, k), plan.hw_s,
                  rho, q, Ts);
      total += q * plan.R_s * plan.dphi * P.grid.dz(k);
    }
  }
  return total;
}

// A quantity sampled at rising z, at z on a straight line between samples.
double At(const std::vector<double>& z, const std::vector<double>& v, double x) {
  for (size_t n = 0; n + 1 < z.size(); ++n)
    if (z[n] <= x && x <= z[n + 1]) return v[n] + (x - z[n]) / (z[n + 1] - z[n]) * (v[n + 1] - v[n]);
  return NAN;
}

Figures RunGrid(const fs::path& example, double dr, double dz, double largest) {
  Figures f;
  char tmpl[] = "/tmp/tepora-grid-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  fs::copy(example / "Input", dir / "Input", fs::copy_options::recursive);
  fs::create_directory(dir / "TeporaOut");
  const fs::path back = fs::current_path();
  fs::current_path(dir);
  vec Numset, Techset;
  const SettingsFile num0 = NumSettingsFile("Input/NumSettings.txt");
  const SettingsFile tech = TechSettingsFile("Input/TechSettings.txt");
  LoadSettings(Numset, num0, kSimNeeds.num);
  LoadSettings(Techset, tech, kSimNeeds.tech);
  const double dtau = kStep8mm * (dr / 0.008) * (dr / 0.008);
  f.steps = long(std::ceil(kSimulated / dtau - 1e-9));
  {
    std::ofstream out("Input/NumSettings.txt");
    out.precision(17);
    out << dr << "\n" << dz << "\n" << Numset(2) << "\n" << dtau << "\n" << f.steps << "\n";
  }
  const SettingsFile num = NumSettingsFile("Input/NumSettings.txt");
  LoadSettings(Numset, num, kSimNeeds.num);
  const GridSize grid = CheckRunSettings(Numset, Techset, num, tech, kSimNeeds);
  f.cells = long(grid.Cells());
  if (grid.Cells() <= largest) {
    bool has_caster = false;
    const CasterZones zones = LoadCaster("Input/Caster.toml", Techset(1), has_caster);
    Tepora P = BuildStrandModel(Numset, Techset, 1000.0, "Input/Interp.csv");
    P.cooling.SetZones(zones, P.grid);
    WarnIfUnstable(P, P.vz, num);
    std::fflush(stdout);
    const int console = dup(1);  // the run's progress lines are not the table's
    std::freopen("/dev/null", "w", stdout);
    const auto start = std::chrono::steady_clock::now();
    P.Compute(int(f.steps), 'y');
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fflush(stdout);
    dup2(console, 1);
    close(console);
    const std::vector<StrandRow> rows = StrandRows(P, zones.solidus, zones.liquidus);
    std::vector<double> z, shell;
    for (const StrandRow& r : rows) z.push_back(r.z), shell.push_back(r.shell_sol);
    f.shell_mm = At(z, shell, zones.mould_length);
    f.crater_m = AxisReaches(P, rows, zones.solidus, zones.liquidus, 1.0);
    f.mould_kW = MouldHeat(P) / 1000;
    f.run = true;
  }
  fs::current_path(back);
  fs::remove_all(dir);
  return f;
}

std::string Change(double x, double finest) {
  if (std::isnan(x) || std::isnan(finest)) return "";
  char s[32];
  std::snprintf(s, sizeof s, " (%+.1f %%)", 100 * (x - finest) / finest);
  return s;
}

void Table(const fs::path& example, double largest) {
  std::vector<Figures> all;
  for (double dr : kRings)
    for (double dz : kSlices) all.push_back(RunGrid(example, dr, dz, largest));
  const Figures& finest = all.back();
  std::printf("\nThe example billet (%s) to steady state, %g s of casting; in brackets the "
              "change against the finest grid.\n\n",
              example.string().c_str(), kSimulated);
  std::printf("| rings | slices | cells | steps | shell at mould exit (mm) | crater end (m) | "
              "mould heat (kW) | run (s) |\n|---|---|---|---|---|---|---|---|\n");
  size_t n = 0;
  for (double dr : kRings)
    for (double dz : kSlices) {
      const Figures& f = all[n++];
      if (!f.run) {
        std::printf("| %g mm | %g m | %ld | %ld | not run (above %g cells) | | | |\n", 1000 * dr, dz,
                    f.cells, f.steps, largest);
        continue;
      }
      std::printf("| %g mm | %g m | %ld | %ld | %.2f%s | %.3f%s | %.1f%s | %.1f |\n", 1000 * dr, dz,
                  f.cells, f.steps, f.shell_mm, Change(f.shell_mm, finest.shell_mm).c_str(),
                  f.crater_m, Change(f.crater_m, finest.crater_m).c_str(), f.mould_kW,
                  Change(f.mould_kW, finest.mould_kW).c_str(), f.seconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path example = fs::absolute(argc > 1 ? argv[1] : "examples/billet");
  const double largest = argc > 2 ? std::atof(argv[2]) : INFINITY;
  return RunProgram([&] { Table(example, largest); });
}
