// Benchmarks of the solvers and the optimiser, run from the repository root:
//   build/bench/tepora-bench
// prints the cell-update rates of the simulator's and the element solver's
// time step, a step on small grids, the simulator on growing grids and the
// optimiser on the example and on five elements, each on one and two
// threads with the speed-up, and, built with TEPORA_MPI, the optimiser
// program on one and two ranks, then the steady strand against the
// transient run to steady state (`tepora-bench ROOT steady` for those rows
// alone) and the transient's step on fine cross-sections explicit in every
// ring and with the short-arc rings implicit in the angle (`tepora-bench
// ROOT angular`). Beside every time of two threads it prints
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

#include "apps/caster_file.h"
#include "optimise/element_bounds.h"
#include "apps/cooling_table.h"
#include "optimise/zone_design.h"
#include "optimise/optimise.h"
#include "apps/run_setup.h"
#include "model/steady_strand.h"
#include "model/strand_results.h"

using namespace tepora;

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
  for (const ElementState& el : C.elements) *updates += double(el.field.n_elem);
  *updates *= double(C.CandidateHtcs().size()) * C.settings.element_steps * C.settings.iterations;
  return Measure([&] { Quietly([&] { C.ComputePHA(); }); }, threads > 1);
}


// The strand of the run directory's input with its cross-section refined f
// times (rings and sectors; the slices as they are), under its caster's
// zones, and on a refined grid the time step at 0.9 of the stable estimate.
Tepora CaseModel(double f, CasterZones& zones) {
  vec Numset, Techset;
  LoadSettings(Numset, NumSettingsFile("Input/NumSettings.txt"), 4);
  LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 6);
  Numset(0) /= f;
  Numset(2) /= f;
  Tepora P = BuildStrandModel(Numset, Techset, 1000.0, "Input/Interp.csv");
  bool present = false;
  zones = LoadCaster("Input/Caster.toml", Techset(1), present);
  Quietly([&] { P.cooling.SetZones(zones, P.grid); });
  if (f != 1) P.dtau = 0.9 * P.StableStepEstimate(P.vz);
  return P;
}

// The strand's figures of a field (the model's T and H_final set to it).
std::vector<StrandRow> Rows(Tepora& P, const cube& H, const cube& T, const CasterZones& c) {
  P.field.T = T;
  P.field.H_final = H;
  return StrandRows(P, c.solidus, c.liquidus);
}

// The steady solve against the transient run carried to steady state, on the
// model's strand from liquid steel: the transient's steps until every cell
// lies within 1 K of its own steady state (timed, the steps alone), and the
// differences of the two steady strands. `ring_path` times the steady solve
// on the rings alone too (every sector alike).
double SteadyAgainstTransient(const char* name, Tepora& P, const CasterZones& zones) {
  omp_set_num_threads(1);
  SteadyStrand steady;
  Usage solve;
  solve.wall = datum::inf;
  for (int run = 0; run < 5; ++run) {
    const Usage u = Measure([&] { steady = SolveSteadyStrand(P); });
    if (u.wall < solve.wall) solve = u;
  }
  Usage full;
  full.wall = datum::inf;
  for (int run = 0; run < 3; ++run) {
    const Usage u = Measure([&] { SolveSteadyStrand(P, false); });
    if (u.wall < full.wall) full = u;
  }
  // The transient to its own steady state: until no cell moves by more than
  // 1e-6 K over 100 steps, at most 8 transits.
  StepRule rule;
  rule.H_inlet = P.EnthalpyAt(P.T_in);
  const double transit = arma::accu(P.grid.dz) / P.vz;
  const int chunk = 100, most = int(8 * transit / P.dtau);
  P.field.T.fill(P.T_in);
  cube H = P.EnthalpyOf(P.field.T);
  P.p = 0;
  for (cube before; P.p < most;) {
    before = P.field.T;
    P.RunSteps(P.p + chunk, rule, H, false);
    if (arma::abs(P.field.T - before).max() <= 1e-6) break;
  }
  const cube T_ref = P.field.T, H_ref = H;
  const int settled = P.p;
  // Timed: the steps until every cell lies within 1 K of that state.
  P.field.T.fill(P.T_in);
  H = P.EnthalpyOf(P.field.T);
  P.p = 0;
  Usage march;
  while (arma::abs(P.field.T - T_ref).max() > 1.0 && P.p < most) {
    const Usage u = Measure([&] { P.RunSteps(P.p + 10, rule, H, false); });
    march.wall += u.wall;
    march.cpu += u.cpu;
  }
  const int to_1K = P.p;
  const std::vector<StrandRow> a = Rows(P, H_ref, T_ref, zones);
  const double crater_t = AxisReaches(P, a, zones.solidus, zones.liquidus, 1.0);
  const double pool_t = AxisReaches(P, a, zones.solidus, zones.liquidus, 0.0);
  std::vector<double> z, shell_t, shell_s;
  for (const StrandRow& r : a) z.push_back(r.z), shell_t.push_back(r.shell_sol);
  const std::vector<StrandRow> b = Rows(P, steady.H, steady.T, zones);
  const double crater_s = AxisReaches(P, b, zones.solidus, zones.liquidus, 1.0);
  const double pool_s = AxisReaches(P, b, zones.solidus, zones.liquidus, 0.0);
  for (const StrandRow& r : b) shell_s.push_back(r.shell_sol);
  // Largest differences, all along and away from the meniscus (the first
  // 0.5 m) and the crater end (1 m either side); where the largest lies.
  double surf = 0, surf_at = 0, surf_away = 0, axis = 0, axis_at = 0, shell = 0, shell_at = 0;
  for (size_t k = 0; k + 1 < a.size(); ++k) {
    const double ds = std::fabs(a[k].surf_mean - b[k].surf_mean);
    const double da = std::fabs(a[k].axis - b[k].axis);
    const double dd = std::fabs(a[k].shell_sol - b[k].shell_sol);
    const bool away = a[k].z > 0.5 && std::fabs(a[k].z - crater_t) > 1.0;
    if (ds > surf) surf = ds, surf_at = a[k].z;
    if (away) surf_away = std::max(surf_away, ds);
    if (da > axis) axis = da, axis_at = a[k].z;
    if (away && dd > shell) shell = dd, shell_at = a[k].z;
  }
  const double exit = zones.mould_length;
  printf("%s, %d x %d x %d cells, %.3g m/min\n", name, P.grid.ndr, P.grid.ndphi, P.grid.ndz, P.vz * 60);
  printf("  steady solve: %.4f s (cpu %.4f s) on the rings alone (every sector alike), %d "
         "Newton steps on %d slices; the full cross-section %.4f s (cpu %.4f s)\n",
         solve.wall, solve.cpu, steady.stats.newton_steps, steady.stats.slices, full.wall,
         full.cpu);
  printf("  transient to 1 K of its steady state: %d steps (%.2f transits), %.3f s (cpu %.3f "
         "s): %.0f times the steady solve's cpu, %.0f times the full cross-section's; settled "
         "to 1e-6 K after %d steps\n",
         to_1K, to_1K * P.dtau / transit, march.wall, march.cpu, march.cpu / solve.cpu,
         march.cpu / full.cpu, settled);
  printf("  steady solve against the transient's steady state: surface %.3f K at %.2f m "
         "(%.3f K away from the meniscus and the crater end), axis %.3f K at %.2f m, "
         "shell %.3f mm at %.2f m (away from both), whole field %.3f K\n",
         surf, surf_at, surf_away, axis, axis_at, shell, shell_at,
         arma::abs(T_ref - steady.T).max());
  printf("  shell at mould exit %.3f / %.3f mm, end of the liquid pool %.3f / %.3f m, crater "
         "end %.3f / %.3f m (transient / steady)\n\n",
         AlongStrand(z, shell_t, exit), AlongStrand(z, shell_s, exit), pool_t, pool_s,
         crater_t, crater_s);
  return to_1K * P.dtau / transit;
}

// The steady solve on a cross-section refined f times, on the rings alone
// and on the full cross-section, against the transient's steps to steady
// state, timed over 20 steps and counted as the example's transits.
void SteadyOnFineGrid(double f, double transits) {
  omp_set_num_threads(1);
  CasterZones zones;
  Tepora P = CaseModel(f, zones);
  Usage rings, full;
  SteadyStrand s;
  rings = Measure([&] { s = SolveSteadyStrand(P); });
  full = Measure([&] { s = SolveSteadyStrand(P, false); });
  StepRule rule;
  rule.H_inlet = P.EnthalpyAt(P.T_in);
  P.field.T = s.T;
  cube H = s.H;
  P.p = 0;
  const int steps = 20;
  const Usage t = Measure([&] { P.RunSteps(steps, rule, H, false); });
  const double needed = transits * arma::accu(P.grid.dz) / P.vz / P.dtau;
  printf("%4d x %4d x %4d  %10.3f %10.3f %10.3f %10.3f %9.4f %8.0f %12.0f %9.0f\n", P.grid.ndr,
         P.grid.ndphi, P.grid.ndz, rings.wall, rings.cpu, full.wall, full.cpu, P.dtau, needed,
         t.cpu / steps * needed, t.cpu / steps * needed / full.cpu);
}

// The transient's time step on the example's cross-section refined f times:
// the bound of the step explicit in every ring against the bound with the
// angular conduction of the short-arc rings implicit, a step of 0.9 of
// each from the steady strand on one thread (20 steps, wall and CPU), and
// the time to `transits` transits that each implies.
void AngularLimit(double f, double transits) {
  omp_set_num_threads(1);
  CasterZones zones;
  Tepora P = CaseModel(f, zones);
  double lambda_max, c_min;
  P.material.ConductionBounds(lambda_max, c_min);
  const double bound[2] = {CylinderStep::ExplicitStep(P, P.vz, lambda_max, c_min),
                           P.StableStepEstimate(P.vz)};
  const SteadyStrand s = SolveSteadyStrand(P, false);
  StepRule rule;
  rule.H_inlet = P.EnthalpyAt(P.T_in);
  const int steps = 20;
  Usage step[2];
  double hours[2];
  int implicit = 0;
  for (int w = 0; w < 2; ++w) {
    P.dtau = 0.9 * bound[w];
    if (w == 1) implicit = int(CylinderStep(P, rule).implicit_rings.size());
    P.field.T = s.T;
    cube H = s.H;
    P.p = 0;
    step[w] = Measure([&] { P.RunSteps(steps, rule, H, false); });
    hours[w] = step[w].cpu / steps * (transits * arma::accu(P.grid.dz) / P.vz / P.dtau) / 3600;
  }
  printf("%4d x %4d x %4d %9.4f %9.4f %7.1f %5d/%-4d %7.1f %7.1f %7.1f %7.1f %9.2f %9.3f\n",
         P.grid.ndr, P.grid.ndphi, P.grid.ndz, bound[0], bound[1], bound[1] / bound[0], implicit,
         P.grid.ndr, 1e3 * step[0].wall / steps, 1e3 * step[0].cpu / steps,
         1e3 * step[1].wall / steps, 1e3 * step[1].cpu / steps, hours[0], hours[1]);
}

// The rows of AngularLimit on 40 x 40 and 80 x 80 cross-sections.
void BenchAngular(double transits) {
  printf("transient step, explicit in every ring against the short-arc rings implicit in the "
         "angle (one thread)\n");
  printf("%-17s %9s %9s %7s %10s %7s %7s %7s %7s %9s %9s\n", "cross-section", "expl s",
         "impl s", "ratio", "implicit", "ms/st", "cpu ms", "ms/st", "cpu ms", "expl h", "impl h");
  for (double f : {4.0, 8.0}) AngularLimit(f, transits);
  printf("(steps of 0.9 x each bound from the steady strand; the hours: cpu of a step times the "
         "steps of %.2f transits, the example's to 1 K)\n\n", transits);
}

// A 300 mm bloom at 0.8 m/min: rings of 10 mm, a mould of 1 m, sprays that
// weaken along 20 m, air cooling to 30 m.
void WriteBloom() {
  WriteWhole("Input/NumSettings.txt", "Num", "0.01\n0.1\n0.2\n0.5\n1\n");
  WriteWhole("Input/TechSettings.txt", "Tech", "0.15\n30\n30\n1550\n0.8\n300\n0.8\n");
  WriteWhole("Input/Caster.toml", "Caster",
             "[mould]\nlength_m = 1.0\nhtc_W_m2K = 1200\ncoolant_degC = 35\n"
             "[[spray]]\nfrom_m = 1.0\nto_m = 2.0\nhtc_W_m2K = 700\n"
             "[[spray]]\nfrom_m = 2.0\nto_m = 6.0\nhtc_W_m2K = 400\n"
             "[[spray]]\nfrom_m = 6.0\nto_m = 12.0\nhtc_W_m2K = 250\n"
             "[[spray]]\nfrom_m = 12.0\nto_m = 20.0\nhtc_W_m2K = 150\n"
             "[air]\nfrom_m = 20.0\n[steel]\nsolidus_degC = 1480\nliquidus_degC = 1520\n");
}

// The steady strand against the transient one: the example and the bloom,
// then the example's cross-section refined to 40 x 40 and 80 x 80.
void BenchSteady(const fs::path& example) {
  printf("steady strand (one thread)\n");
  fs::remove("TeporaOut/T_0.cub");  // the whole runs start from liquid steel
  CasterZones zones;
  Tepora P = CaseModel(1, zones);
  const double transits = SteadyAgainstTransient("example billet", P, zones);
  // The whole programs on the example, start-up and files included.
  const std::string sim = fs::path(TEPORA_OPT_PROGRAM).parent_path() / "tepora-sim";
  setenv("OMP_NUM_THREADS", "1", 1);
  double whole[2];
  for (int steady = 0; steady < 2; ++steady) {
    whole[steady] = datum::inf;
    const std::string command =
        sim + " --no-plot" + (steady ? " --steady" : "") + " > /dev/null 2>&1";
    for (int rep = 0; rep < 5; ++rep) {
      const Usage u = Measure([&] {
        if (std::system(command.c_str()) != 0) printf("(%s failed)\n", command.c_str());
      });
      whole[steady] = std::min(whole[steady], u.wall);
    }
  }
  vec Num;
  LoadSettings(Num, NumSettingsFile("Input/NumSettings.txt"), 5);
  printf("  tepora-sim on the example, whole run, best of 5: %.3f s transient (%.0f time "
         "steps), %.3f s --steady: %.1f times faster\n\n",
         whole[0], Num(4), whole[1], whole[0] / whole[1]);
  const fs::path back = fs::current_path();
  PrepareRunDir(back / "bloom", example);
  WriteBloom();
  {
    CasterZones bz;
    Tepora B = CaseModel(1, bz);
    B.dtau = 0.9 * B.StableStepEstimate(B.vz);
    SteadyAgainstTransient("bloom 300 mm", B, bz);
  }
  fs::current_path(back);
  printf("%-17s %10s %10s %10s %10s %9s %8s %12s %9s\n", "cross-section", "rings s", "cpu s",
         "full s", "cpu s", "step s", "steps", "transient s", "x full");
  for (double f : {4.0, 8.0}) SteadyOnFineGrid(f, transits);
  printf("(the transient: cpu of 20 steps times the steps of %.2f transits, the example's to "
         "1 K)\n\n", transits);  BenchAngular(transits);
}

// The example's own zones designed zone by zone on the steady strand, against
// today's element search (three elements) on the same caster, and the
// cooling table of 13 speeds (1.6 to 2.8 m/min) on every thread.
void BenchZones() {
  vec Numset, Techset;
  LoadSettings(Numset, NumSettingsFile("Input/NumSettings.txt"), 4);
  LoadSettings(Techset, TechSettingsFile("Input/TechSettings.txt"), 7);
  bool present = false;
  CasterZones zones = LoadCaster("Input/Caster.toml", Techset(1), present);
  const ControlPoints CP = LoadControlPoints("Input/ControlPoints.mat");
  printf("\n%-46s %10s %10s %8s\n", "zone design, example (best of 5 / of 1)", "s", "cpu s",
         "others");
  Usage design;
  design.wall = datum::inf;
  int solves = 0;
  for (int rep = 0; rep < 5; ++rep) {
    omp_set_num_threads(1);
    Tepora P = ExampleModel(1);
    Quietly([&] { SetWaterHtcs("Input/Caster.toml", zones, Techset(0)); });
    P.vz = Techset(6) / 60;
    const Usage u = Measure([&] {
      solves = DesignZones(P, zones, CP, "Input/Caster.toml", "Input/ControlPoints.mat").solves;
    });
    if (u.wall < design.wall) design = u;
  }
  printf("%-46s %10.4f %10.4f %8s\n", ("zones, 1 thread (" + std::to_string(solves) +
                                        " zone solves)").c_str(),
         design.wall, design.cpu, OthersText(design.others).c_str());
  double updates = 0;
  const Usage element = OptimiserRun(3, 1, Formulation::Cylindrical, &updates);
  printf("%-46s %10.2f %10.2f %8s\n", "element search, 3 elements, 1 thread", element.wall,
         element.cpu, OthersText(element.others).c_str());
  printf("%-46s %10.0fx\n", "zone design faster by", element.wall / design.wall);
  std::vector<double> speeds;
  for (int i = 0; i <= 12; ++i) speeds.push_back(1.6 + 0.1 * i);
  omp_set_num_threads(std::min(2, omp_get_num_procs()));
  Tepora P = ExampleModel(1);
  const Usage table = Measure(
      [&] {
        Quietly([&] {
          WriteCoolingTable(P, zones, CP, speeds, "Input/Caster.toml", "Input/ControlPoints.mat");
        });
      },
      true);
  printf("%-46s %10.3f %10.3f %8s\n", "cooling table, 13 speeds, 2 threads", table.wall,
         table.cpu, OthersText(table.others).c_str());
}

void Bench(int argc, char** argv) {
  const fs::path root = fs::absolute(argc > 1 ? argv[1] : ".");
  const fs::path example = root / "examples" / "billet";
  const fs::path work = fs::temp_directory_path() / "tepora-bench";
  PrepareRunDir(work, example);
  const int cores = omp_get_max_threads();
  printf("Tepora benchmarks (%s), %d threads available\n\n", example.c_str(), cores);
  // `tepora-bench ROOT zones`: the zone design's rows alone.
  if (argc > 2 && std::string(argv[2]) == "zones") {
    BenchZones();
    fs::current_path(root);
    fs::remove_all(work);
    return;
  }
  // `tepora-bench ROOT steady`: the steady strand's rows alone.
  // `tepora-bench ROOT angular`: the rows of the angular limit alone, at the
  // 1.15 transits the example takes to steady state within 1 K.
  if (argc > 2 && std::string(argv[2]) == "angular") {
    BenchAngular(1.15);
    fs::current_path(root);
    fs::remove_all(work);
    return;
  }
  if (argc > 2 && std::string(argv[2]) == "steady") {
    BenchSteady(example);
    fs::current_path(root);
    fs::remove_all(work);
    return;
  }

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
  printf("\n");
  BenchSteady(example);

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
      sim.field.T.save("TeporaOut/T_0.cub", arma_ascii);
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
  BenchZones();
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
