// Benchmarks of the solvers and the optimiser, run from the repository root:
//   build/bench/tepora-bench
// prints the cell-update rates of the simulator's and the element solver's
// time step, a step on small grids, the simulator on growing grids and the
// optimiser on the example and on five elements, each on one and two
// threads with the speed-up, and, built with TEPORA_MPI, the optimiser
// program on one and two ranks. Beside every time of two threads it prints
// their CPU time and how many cores other processes kept busy meanwhile: a
// speed-up is only worth quoting from a machine nothing else was using.
#include <fcntl.h>
#include <omp.h>
#include <unistd.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "element_bounds.h"
#include "optimise.h"
#include "run_setup.h"

namespace fs = std::filesystem;

namespace {

// Cores that other processes may keep busy on average, over the whole
// benchmark, before its figures are said to come from a busy machine: a
// tenth of a core is what the system itself and a shell use now and then.
const double kBusyCores = 0.1;

// CPU seconds of this process's threads and of its children that ended.
double OwnCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec) + double(u.ru_utime.tv_sec) +
         1e-6 * double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_sec) +
         1e-6 * double(u.ru_stime.tv_usec);
}

// Seconds for which the machine's cores have been busy since it started,
// all processes together (the first line of /proc/stat, in clock ticks:
// user, nice, system, idle, iowait, irq, softirq, steal); -1 without it.
double MachineBusySeconds() {
  std::ifstream in("/proc/stat");
  std::string name;
  double t[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  if (!(in >> name) || name != "cpu") return -1;
  for (double& x : t) in >> x;
  if (!in) return -1;
  return (t[0] + t[1] + t[2] + t[5] + t[6] + t[7]) / double(sysconf(_SC_CLK_TCK));
}

// What a piece of work took: wall and CPU seconds, and the cores that
// other processes kept busy meanwhile on average (to a clock tick, 10 ms of
// a core), negative where the machine does not tell.
struct Usage {
  double wall = 0, cpu = 0, others = 0;
};

// Others' busy core seconds and the wall seconds of everything measured on
// every core, for the verdict at the end (beside one thread, others may
// use the other core without slowing it).
double others_total = 0, measured_total = 0;

Usage Measure(const std::function<void()>& work, bool every_core = false) {
  const double busy0 = MachineBusySeconds(), cpu0 = OwnCpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  work();
  Usage u;
  u.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  u.cpu = OwnCpuSeconds() - cpu0;
  const double busy1 = MachineBusySeconds();
  u.others = busy0 < 0 || busy1 < 0 ? -1 : std::max(0.0, busy1 - busy0 - u.cpu) / u.wall;
  if (u.others >= 0 && every_core) {
    others_total += u.others * u.wall;
    measured_total += u.wall;
  }
  return u;
}

double Seconds(const std::function<void()>& work) { return Measure(work).wall; }

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

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

double PeakMB() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_maxrss) / 1024.0;
}

// A run directory with the example's input, the plot function left out.
void PrepareRunDir(const fs::path& dir, const fs::path& example) {
  fs::remove_all(dir);
  fs::create_directories(dir / "TeporaOut");
  fs::copy(example / "Input", dir / "Input", fs::copy_options::recursive);
  fs::current_path(dir);
}

// The example strand on a grid refined f times in every direction, with the
// time step shortened f^2 times so that the explicit scheme stays stable;
// `length` m long when given.
Tepora ExampleModel(double f, double length = 0) {
  vec Numset, Techset;
  LoadSettings(Numset, NumSettingsFile("Input/NumSettings.txt"), 4);
  LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 6);
  for (int i = 0; i < 3; ++i) Numset(i) /= f;
  Numset(3) /= f * f;
  if (length > 0) Techset(1) = length;
  return BuildStrandModel(Numset, Techset, 1000.0, "Input/Interp.csv");
}

// Cell updates per second of `steps` steps of a model under a rule, the
// best of three runs from the same field, whose usage is left in `best`.
double Rate(Tepora& m, const StepRule& rule, int steps, Usage* best = nullptr) {
  const cube start = m.field.T;
  Usage fastest;
  fastest.wall = datum::inf;
  for (int run = 0; run < 3; ++run) {
    m.field.T = start;
    cube H = m.EnthalpyOf(m.field.T);
    m.p = 0;
    const Usage u =
        Measure([&] { m.RunSteps(steps, rule, H, false); }, omp_get_max_threads() > 1);
    if (u.wall < fastest.wall) fastest = u;
  }
  m.field.T = start;
  if (best) *best = fastest;
  return double(m.field.T.n_elem) * steps / fastest.wall;
}

// Microseconds of one cylindrical step of a model on `threads` threads,
// whatever the grid's size, the best of three runs of `steps` steps, whose
// usage is left in `best_usage`.
double StepMicroseconds(Tepora& m, int threads, int steps, Usage& best_usage) {
  StepRule rule;
  rule.H_inlet = m.EnthalpyAt(m.T_in);
  const cube start = m.field.T;
  best_usage.wall = datum::inf;
  for (int run = 0; run < 3; ++run) {
    m.field.T = start;
    cube H = m.EnthalpyOf(m.field.T), H_new(arma::size(H)), T_new(arma::size(H));
    CylinderStep plan(m, rule);
    plan.threads = threads;
    plan.choice = ThreadChoice::Fixed(threads);
    plan.scratch.resize(threads, plan.scratch[0]);
    plan.Start(m, H);
    const Usage u = Measure(
        [&] {
          for (int p = 0; p < steps; ++p) {
            plan.Advance(m, H, H_new, T_new);
            m.field.T.swap(T_new);
            plan.Advanced();
            H.swap(H_new);
          }
        },
        threads > 1);
    if (u.wall < best_usage.wall) best_usage = u;
  }
  m.field.T = start;
  return best_usage.wall / steps * 1e6;
}

// Others' cores as the tables print them.
std::string OthersText(double cores) {
  char text[16];
  if (cores < 0) return "?";
  std::snprintf(text, sizeof text, "%.2f", cores);
  return text;
}

const char* Name(Formulation f) { return FormulationName(f); }

// Element `first` .. `first + n - 1` of a strand field as the element solver
// runs it, inlet from the slice before.
double ElementRate(const Tepora& strand, int first, int n, int steps, Formulation model) {
  cube field = strand.field.T.slices(first, first + n - 1);
  Tepora elem(strand.grid.dr(0), strand.grid.dz(0), 0.0, field, strand.material.ConstM, strand.vz,
              strand.cooling.T_inf, strand.dtau, 500, 0, 500, 15);
  elem.model = model;
  const PieceStart start =
      elem.StartPiece(ElementBounds(1, cube(strand.field.T.slices(first - 1, first - 1))));
  double best = datum::inf;
  for (int run = 0; run < 3; ++run)
    best = std::min(best, Seconds([&] { elem.RunPiece(start, steps); }));
  return double(field.n_elem) * steps / best;
}

// The optimiser on the run directory's input with `elements` elements,
// in this process on `threads` threads: its usage and cell updates.
Usage OptimiserRun(int elements, int threads, Formulation model, double* updates) {
  vec Opt;
  LoadSettings(Opt, OptSettingsFile(), 6);
  Opt(4) = elements;
  std::string text;
  for (double x : Opt) text += std::to_string(x) + "\n";
  WriteWhole("Input/OptSettings.txt", "Mat", text);
  omp_set_num_threads(threads);
  ControlPoints CP("Input/ControlPoints.mat");
  vec Techset;
  LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 7);
  Tepora P = ExampleModel(1);
  std::unique_ptr<Optimise> made;  // its set-up's report is not the benchmark's
  Quietly([&] {
    made = std::make_unique<Optimise>(Techset(6) / 60, P.field.T, 0.25, P.material.ConstM,
                                      P.grid.dr(0), P.grid.dz(0), P.grid.dphi, P.cooling.T_inf,
                                      P.dtau, CP);
  });
  Optimise& C = *made;
  C.model = model;
  *updates = 0;
  for (int i = 0; i < C.nElem; ++i) *updates += double(C.Elem(i).n_elem);
  *updates *= double(C.CandidateHtcs().size()) * C.Heatpmax * C.pmax;
  return Measure([&] { Quietly([&] { C.ComputePHA(); }); }, threads > 1);
}

void Bench(int argc, char** argv) {
  const fs::path root = fs::absolute(argc > 1 ? argv[1] : ".");
  const fs::path example = root / "examples" / "billet";
  const fs::path work = fs::temp_directory_path() / "tepora-bench";
  PrepareRunDir(work, example);
  const int cores = omp_get_max_threads();
  printf("Tepora benchmarks (%s), %d threads available\n\n", example.c_str(), cores);

  // Simulator stepper on the example grid, from the strand's steady state,
  // on one thread.
  omp_set_num_threads(1);
  Tepora sim = ExampleModel(1);
  StepRule fixed;
  fixed.H_inlet = sim.EnthalpyAt(sim.T_in);
  {
    cube H = sim.EnthalpyOf(sim.field.T);
    sim.RunSteps(3000, fixed, H, false);
  }
  for (Formulation f : {Formulation::Cylindrical, Formulation::Flat}) {
    sim.model = f;
    fixed.H_inlet = sim.EnthalpyAt(sim.T_in);
    printf("simulator step, %s, %d x %d x %d cells, 1000 steps: %.1f million cell updates/s\n",
           Name(f), sim.grid.ndr, sim.grid.ndphi, sim.grid.ndz, Rate(sim, fixed, 1000) / 1e6);
  }
  const int n = sim.grid.ndz / 2;
  double element_rate[2];
  for (Formulation f : {Formulation::Cylindrical, Formulation::Flat}) {
    element_rate[int(f)] = ElementRate(sim, 1, n, 1000, f);
    printf("element solver, %s, %d x %d x %d cells, 1000 steps: %.1f million cell updates/s\n",
           Name(f), sim.grid.ndr, sim.grid.ndphi, n, element_rate[int(f)] / 1e6);
  }
  sim.model = Formulation::Cylindrical;

  // A plant-sized element: 40 x 40 cells a slice, 100 slices.
  {
    Tepora fine = ExampleModel(4, 13.0);
    const double rate = ElementRate(fine, 1, 100, 50, Formulation::Cylindrical);
    printf(
        "element solver, cylindrical, %d x %d x 100 cells, 50 steps: %.1f million/s, "
        "%.0f s for 5000 steps\n\n",
        fine.grid.ndr, fine.grid.ndphi, rate / 1e6, 1.6e5 * 5000 / rate);
  }

  // A step of a small grid split or not: the example's 10 x 10 slices, as
  // many as give the cells, on one and two threads whatever the grid's size
  // (the programs split a step only from kStepCellsPerThread cells a thread).
  printf("%-34s %12s %12s %9s %8s\n", "cylindrical step, 10 x 10 slices", "1 thread us",
         "2 threads us", "speed-up", "others");
  for (int slices : {10, 20, 40, 80, 320}) {
    Tepora m = ExampleModel(1, 0.1 * slices);
    double t[2];
    Usage u;
    for (int threads = 1; threads <= 2; ++threads)
      t[threads - 1] = StepMicroseconds(m, threads, std::max(200, 400000 / slices), u);
    printf("%6d cells                       %12.1f %12.1f %9.2f %8s\n", int(m.field.T.n_elem), t[0],
           t[1], t[0] / t[1], OthersText(u.others).c_str());
  }

  // The simulator's slices across threads: the example strand lengthened to
  // 20 m on grids refined 1, 2 and 4 times.
  printf("\n%-34s %-12s %12s %12s %9s %9s %8s\n", "simulator grid, 100 steps", "model",
         "1 thread s", "2 threads s", "speed-up", "2 thr cpu", "others");
  for (double f : {1.0, 2.0, 4.0}) {
    Tepora m = ExampleModel(f, 20.0);
    for (Formulation model : {Formulation::Cylindrical, Formulation::Flat}) {
      m.model = model;
      StepRule r;
      r.H_inlet = m.EnthalpyAt(m.T_in);
      Usage t[2];
      for (int threads = 1; threads <= 2; ++threads) {
        omp_set_num_threads(threads);
        Rate(m, r, 100, &t[threads - 1]);
      }
      printf("%4d x %4d x %5d = %7.2fM      %-12s %12.3f %12.3f %9.2f %9.3f %8s\n", m.grid.ndr,
             m.grid.ndphi, m.grid.ndz, double(m.field.T.n_elem) / 1e6, Name(model), t[0].wall, t[1].wall,
             t[0].wall / t[1].wall, t[1].cpu, OthersText(t[1].others).c_str());
    }
  }

  // The optimiser, in this process: the example and the example cut into 5
  // elements, from the simulated strand, on 1 and 2 threads.
  sim.field.T.save("TeporaOut/T_0.cub", arma_ascii);
  vec Opt;
  LoadSettings(Opt, OptSettingsFile(), 6);
  const int example_elements = int(Opt(4));
  printf("\n%-34s %-12s %12s %12s %9s %9s %8s %10s\n", "optimiser", "model", "1 thread s",
         "2 threads s", "speed-up", "2 thr cpu", "others", "not steps");
  for (int elements : {example_elements, 5}) {
    for (Formulation model : {Formulation::Cylindrical, Formulation::Flat}) {
      if (elements != example_elements && model == Formulation::Flat) continue;
      Usage t[2];
      double updates = 0;
      for (int threads = 1; threads <= 2; ++threads) {
        sim.field.T.save("TeporaOut/T_0.cub", arma_ascii);
        t[threads - 1] = OptimiserRun(elements, threads, model, &updates);
      }
      // What one thread spends beside the element steps (at the element
      // solver's rate): building element models, files, combination.
      const double other = 1 - updates / element_rate[int(model)] / t[0].wall;
      printf("%d elements, %.0f million updates     %-12s %12.2f %12.2f %9.2f %9.2f %8s %9.0f%%\n",
             elements, updates / 1e6, Name(model), t[0].wall, t[1].wall, t[0].wall / t[1].wall,
             t[1].cpu, OthersText(t[1].others).c_str(), 100 * other);
    }
  }
  WriteWhole("Input/OptSettings.txt", "Mat", ReadText(example / "Input" / "OptSettings.txt"));

#ifdef TEPORA_MPI
  // The optimiser program itself on threads and on ranks of one thread.
  printf("\n%-40s %10s %10s %8s\n", "tepora-opt, example, best of 2", "s", "cpu s", "others");
  const std::string opt = TEPORA_OPT_PROGRAM;
  // One machine without a remote shell ("isolated"), ranks free to move
  // between cores like threads, and the plain point-to-point layer (ob1),
  // which starts 0.2 s sooner than the default's probe for fast networks.
  const std::string mpirun = std::string(TEPORA_MPIEXEC) +
                             " --oversubscribe --mca plm isolated --bind-to none --mca pml ob1 " +
                             (geteuid() == 0 ? "--allow-run-as-root " : "");
  const struct {
    const char* what;
    std::string command;
    int threads;
    bool every_core;  // two threads or ranks
  } runs[] = {{"1 thread", opt, 1, false},
              {"2 threads", opt, 2, true},
              {"mpirun, 1 rank of 1 thread", mpirun + "-n 1 " + opt, 1, false},
              {"mpirun, 2 ranks of 1 thread", mpirun + "-n 2 " + opt, 1, true}};
  for (const auto& run : runs) {
    setenv("OMP_NUM_THREADS", std::to_string(run.threads).c_str(), 1);
    Usage best;
    best.wall = datum::inf;
    for (int rep = 0; rep < 2; ++rep) {
      sim.T.save("TeporaOut/T_0.cub", arma_ascii);
      const Usage u = Measure(
          [&] {
            if (std::system((run.command + " > /dev/null 2>&1").c_str()) != 0)
              printf("(%s failed)\n", run.what);
          },
          run.every_core);
      if (u.wall < best.wall) best = u;
    }
    printf("%-40s %10.2f %10.2f %8s\n", run.what, best.wall, best.cpu,
           OthersText(best.others).c_str());
  }
#endif
  printf("peak resident memory of the benchmark: %.1f MB\n", PeakMB());
  // Two threads gain nothing on a core that another process holds, and the
  // figures of such a run say little about the program.
  if (measured_total > 0) {
    const double others = others_total / measured_total;
    printf("other processes kept %.2f cores busy on average while the benchmarks ran on two "
           "threads", others);
    if (others > kBusyCores)
      printf(": the figures were taken on a busy machine, and the speed-ups are not the "
             "program's\n");
    else
      printf("\n");
  } else {
    printf("the machine's busy time could not be read (/proc/stat): whether other processes "
           "ran is unknown\n");
  }
  fs::current_path(root);
  fs::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram([&] { Bench(argc, argv); });
}
