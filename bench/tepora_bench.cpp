// Benchmarks of the solvers and the optimiser, run from the repository root:
//   build/bench/tepora-bench
// prints the cell-update rates of the simulator's and the element solver's
// time step, the simulator's time on growing grids, and the example
// optimisation on one and two threads with its parallel speed-up.
#include <fcntl.h>
#include <omp.h>
#include <unistd.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>

#include "optimise.h"
#include "run_setup.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::function<void()>& work) {
  const auto t0 = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Runs work with standard output and error sent to /dev/null.
void Quietly(const std::function<void()>& work) {
  fflush(stdout);
  const int out = dup(1), err = dup(2), null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  work();
  fflush(stdout);
  dup2(out, 1);
  dup2(err, 2);
  close(null);
  close(out);
  close(err);
}

double PeakMB() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

// A run directory with the example's input, the plot function left out.
void PrepareRunDir(const fs::path& dir, const fs::path& example) {
  fs::remove_all(dir);
  fs::create_directories(dir / "TeporaOut");
  fs::copy(example / "Input", dir / "Input", fs::copy_options::recursive);
  fs::current_path(dir);
}

// The example strand on a grid refined f times in every direction, with the
// time step shortened f^2 times so that the explicit scheme stays stable.
Tepora ExampleModel(double f) {
  vec Numset, Techset;
  LoadSettings(Numset, NumSettingsFile("Input/NumSettings.txt"), 4);
  LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 6);
  for (int i = 0; i < 3; ++i) Numset(i) /= f;
  Numset(3) /= f * f;
  return BuildStrandModel(Numset, Techset, 1000.0, "Input/Interp.csv");
}

// Cell updates per second of `steps` steps of a model under a rule, the
// best of three runs from the same field.
double Rate(Tepora& m, const StepRule& rule, int steps, double* seconds = nullptr) {
  const cube start = m.T;
  double best = datum::inf;
  for (int run = 0; run < 3; ++run) {
    m.T = start;
    cube H = m.TempToEn(m.T);
    m.p = 0;
    best = std::min(best, Seconds([&] { m.RunSteps(steps, rule, H, false); }));
  }
  if (seconds) *seconds = best;
  return double(m.T.n_elem) * steps / best;
}

void Bench(int argc, char** argv) {
  const fs::path root = fs::absolute(argc > 1 ? argv[1] : ".");
  const fs::path example = root / "examples" / "billet";
  const fs::path work = fs::temp_directory_path() / "tepora-bench";
  PrepareRunDir(work, example);
  printf("Tepora benchmarks (%s)\n\n", example.c_str());

  // Simulator stepper on the example grid, from the strand's steady state.
  Tepora sim = ExampleModel(1);
  StepRule fixed;
  fixed.H_inlet = sim.getConstT(sim.T_in, 'h');
  cube H = sim.TempToEn(sim.T);
  sim.RunSteps(3000, fixed, H, false);
  const double sim_rate = Rate(sim, fixed, 1000);
  printf("simulator step, %d x %d x %d cells, 1000 steps: %.1f million cell updates/s\n",
         sim.ndr, sim.ndphi, sim.ndz, sim_rate / 1e6);

  // Element solver on an element of the example (slices 45 to 104).
  cube field = sim.T.slices(45, 104);
  StepRule element;
  element.inlet = InletKind::Field;
  element.mould = false;
  element.whole_emissivity = true;
  element.H_field.set_size(sim.ndr, sim.ndphi);
  for (int j = 0; j < sim.ndphi; ++j)
    for (int i = 0; i < sim.ndr; ++i) element.H_field(i, j) = sim.getConstT(sim.T(i, j, 44), 'h');
  Tepora elem(0.01, 0.1, 0.0, field, sim.ConstM, sim.vz, sim.T_inf, sim.dtau, 500, 0, 500, 15);
  printf("element solver, %d x %d x %d cells, 1000 steps: %.1f million cell updates/s\n\n",
         elem.ndr, elem.ndphi, elem.ndz, Rate(elem, element, 1000) / 1e6);

  // Work against grid size: the strand on finer grids, 100 steps each.
  printf("%-28s %12s %14s\n", "simulator grid", "s/100 steps", "Mupdates/s");
  for (double f : {1.0, 2.0, 4.0}) {
    Tepora m = ExampleModel(f);
    StepRule r;
    r.H_inlet = m.getConstT(m.T_in, 'h');
    double t;
    const double rate = Rate(m, r, 100, &t);
    printf("%4d x %4d x %5d = %7.2fM %12.3f %14.1f\n", m.ndr, m.ndphi, m.ndz, m.T.n_elem / 1e6, t,
           rate / 1e6);
  }

  // The example optimisation, from the simulated strand, on 1 and 2 threads.
  sim.T.save("TeporaOut/T_0.cub", arma_ascii);
  double wall[2] = {0, 0};
  for (int threads = 1; threads <= 2; ++threads) {
    omp_set_num_threads(threads);
    ControlPoints CP("Input/ControlPoints.mat");
    vec Techset;
    LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 7);
    Tepora P = ExampleModel(1);
    sim.T.save("TeporaOut/T_0.cub", arma_ascii);
    Optimise C(Techset(6) / 60, P.T, 0.25, P.ConstM, P.dr(0), P.dz(0), P.dphi,
               P.T_inf, P.dtau, CP);
    double updates = 0;
    for (int i = 0; i < C.nElem; ++i) updates += double(C.Elem(i).n_elem);
    updates *= double(C.CandidateHtcs().size()) * C.Heatpmax * C.pmax;
    wall[threads - 1] = Seconds([&] { Quietly([&] { C.ComputePHA(); }); });
    printf("optimiser example, %d thread(s): %.2f s, %.1f million element cell updates/s\n",
           threads, wall[threads - 1], updates / wall[threads - 1] / 1e6);
  }
  printf("parallel speed-up on 2 threads: %.2f\n", wall[0] / wall[1]);
  printf("peak resident memory of the benchmark: %.1f MB\n", PeakMB());
  fs::current_path(root);
  fs::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram([&] { Bench(argc, argv); });
}
