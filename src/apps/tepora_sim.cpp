// tepora-sim: one transient simulation of the whole strand from the settings
// under Input/, or with --steady the steady strand solved directly, results
// under TeporaOut/.
#include "apps/caster_file.h"
#include "apps/plausibility.h"
#include "optimise/control_points.h"
#include "apps/run_summary.h"
#include "apps/run_setup.h"
#include "model/steady_strand.h"
#include "common/viewer.h"

using namespace tepora;

char filename[] = "Input/Interp.csv";
char CPfname[] = "Input/ControlPoints.mat";
char Techfname[] = "Input/TechSettings.txt";
char Numfname[] = "Input/NumSettings.txt";
char Casterfname[] = "Input/Caster.toml";

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
    const int pmax = options.steady ? 0 : CountSetting(Numset, num, 4);
    if (options.steady && !(Techset(4) > 0))
      throw InputError(tech.Entry(4) + " is " + ValueText(Techset(4)) +
                       "; expected a casting speed above 0 for --steady, whose steel travels "
                       "down the strand from the meniscus");
    bool has_caster = false;
    CasterZones zones = LoadCaster(Casterfname, Techset(1), has_caster);
    SetWaterHtcs(Casterfname, zones, Techset(0));
    CheckMemory(grid, SimulatorBytes(grid));
    ClearStaleTemporaries();
    cube Result;
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    P.model = options.model;
    WarnEmptyZones(Casterfname, zones, P.cooling.SetZones(zones, P.grid));
    WarnImplausible(Techset, tech, P, filename, Casterfname, CP, zones, false);
    WarnIfMouldCoarse(P, num);
    RunFacts facts{pmax, Techset(5), &zones, Casterfname};
    if (options.steady) {
      std::printf("The steady strand without axial conduction, solved slice by slice; the time "
                  "step and the number of time steps (%s lines 4 and 5) are not used\n",
                  Numfname);
      ComputeSteady(P);
      facts.steady_solve = true;
    } else {
      WarnIfUnstable(P, P.vz, num);
      P.snapshot_step = SteadinessSnapshotStep(pmax);
      Result = P.Compute(pmax, 'y');
      facts.steady_distance = DistanceToSteady(P, pmax);
    }
    ReportStrand(P, facts, CP);
    Visualise("TempProfile_final.mat");  // last: the plot reads the reports
    PrintElapsed(start);
  });
}
