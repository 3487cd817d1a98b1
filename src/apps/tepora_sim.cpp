// tepora-sim: one transient simulation of the whole strand from the settings
// under Input/, or with --steady the steady strand solved directly, results
// under TeporaOut/.
#include "apps/caster_file.h"
#include "apps/plausibility.h"
#include "optimise/control_points.h"
#include "apps/run_summary.h"
#include "apps/run_setup.h"
#include "apps/schedule_file.h"
#include "apps/schedule_run.h"
#include "model/steady_strand.h"
#include "common/viewer.h"

#include <chrono>
#include <memory>

using namespace tepora;

char filename[] = "Input/Interp.csv";
char CPfname[] = "Input/ControlPoints.mat";
char Techfname[] = "Input/TechSettings.txt";
char Numfname[] = "Input/NumSettings.txt";
char Casterfname[] = "Input/Caster.toml";
char Schedulefname[] = "Input/Schedule.csv";

const double Taumax = 1000.0;
const double overlap = 0.25;  // used by the optimiser only

int main(int argc, char** argv) {
  PrepareProcess();
  ProgramOptions options;
  options.steady_offered = true;
  const char what[] =
      "simulates the temperature field of a round steel strand in continuous casting, "
      "from the settings in Input/ into results in TeporaOut/ of the working "
      "directory";
  if (const auto status = ReadCommandLine(argc, argv, "tepora-sim", what, options))
    return ConsoleChecked(*status);
  return RunProgram([&] {
    time_t start;
    time(&start);
    CheckOutputDir();
    ControlPoints CP = UnusedControlPoints(CPfname);
    const SettingsFile tech = TechSettingsFile(Techfname), num = NumSettingsFile(Numfname);
    vec Techset, Numset;
    // The steady strand takes no time steps: the number of them is neither
    // needed nor checked.
    SettingsNeeds needs = kSimNeeds;
    if (options.steady) needs.num = 4;
    LoadSettings(Techset, tech, needs.tech);
    LoadSettings(Numset, num, needs.num);
    const GridSize grid = CheckRunSettings(Numset, Techset, num, tech, needs);
    int pmax = options.steady ? 0 : CountSetting(Numset, num, 4);
    if (options.steady && !(Techset(4) > 0))
      throw InputError(tech.Entry(4) + " is " + ValueText(Techset(4)) +
                       "; expected a casting speed above 0 for --steady, whose steel travels "
                       "down the strand from the meniscus");
    bool has_caster = false;
    CasterZones zones = LoadCaster(Casterfname, Techset(1), has_caster);
    SetWaterHtcs(Casterfname, zones, Techset(0));
    const std::optional<Schedule> schedule = ReadSchedule(Schedulefname, zones.sprays.size());
    if (schedule && options.model == Formulation::Flat)
      throw InputError(std::string(Schedulefname) +
                       ": a casting schedule needs the cylindrical model; expected no schedule "
                       "with --model flat, whose results stay those of one speed");
    if (schedule && options.steady)
      throw InputError(std::string(Schedulefname) +
                       ": a casting schedule changes over time; expected no schedule with "
                       "--steady, which solves one moment");
    // The run ends with the schedule's end unless the settings ask for fewer steps.
    if (schedule && schedule->End() > 0)
      pmax = std::min(pmax, int(std::ceil(schedule->End() / Numset(3) - 1e-9)));
    CheckMemory(grid, SimulatorBytes(grid));
    ClearStaleTemporaries();
    cube Result;
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    P.model = options.model;
    if (schedule) CheckCastingTemperatures(*schedule, P.material, Schedulefname);
    WarnEmptyZones(Casterfname, zones, P.cooling.SetZones(zones, P.grid));
    WarnImplausible(Techset, tech, P, filename, Casterfname, CP, zones, false);
    WarnIfMouldCoarse(P, num);
    RunFacts facts{pmax, Techset(5), &zones, Casterfname, false, NAN, {}};
    if (options.steady) {
      std::printf("The steady strand without axial conduction, solved slice by slice; the time "
                  "step and the number of time steps (%s lines 4 and 5) are not used\n",
                  Numfname);
      ComputeSteady(P);
      facts.steady_solve = true;
    } else {
      std::unique_ptr<ScheduledRun> run;
      if (schedule) {
        double solidus = zones.solidus, liquidus = zones.liquidus;
        if ((std::isnan(solidus) || std::isnan(liquidus)) &&
            !EstimateSolidusLiquidus(P.material.ConstM, solidus, liquidus))
          solidus = liquidus = NAN;
        run = std::make_unique<ScheduledRun>(P, *schedule, zones, CP, solidus, liquidus,
                                             kHistoryInterval);
        run->SetTo(0.0);
        if (!P.start_saved) {
          std::printf("Start field: the steady strand at the schedule's first moment (%s m/min)\n",
                      ValueText(P.vz * 60).c_str());
          P.field.T = SolveSteadyStrand(P).T;
        }
        P.field.H_final.reset();
        run->Record(0.0);
        // The stability estimate, and the step's choice of the rings it takes
        // implicitly, must hold at the schedule's worst moment (its highest
        // speed and factors); the hook sets each step's own moment before it.
        run->SetToHighest();
        P.hook = run.get();
      }
      WarnIfUnstable(P, P.vz, num);
      P.snapshot_step = SteadinessSnapshotStep(pmax);
      const auto wall = std::chrono::steady_clock::now();
      Result = P.Compute(pmax, 'y');
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
      if (run) {
        P.hook = nullptr;
        run->WriteHistory();
        facts.schedule_figures = run->Extremes();
        const double factor = double(pmax) * P.dtau / std::max(seconds, 1e-9);
        facts.schedule_figures.emplace_back("casting_time_s", double(pmax) * P.dtau);
        facts.schedule_figures.emplace_back("real_time_factor", factor);
        std::printf("Schedule: %s s of casting in %.2f s, %.0f times faster than real time; "
                    "history in TeporaOut/History.csv\n",
                    ValueText(double(pmax) * P.dtau).c_str(), seconds, factor);
      }
      facts.steady_distance = DistanceToSteady(P, pmax);
    }
    ReportStrand(P, facts, CP);
    Visualise("TempProfile_final.mat");  // last: the plot reads the reports
    PrintElapsed(start);
  });
}
