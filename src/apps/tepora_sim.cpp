// tepora-sim: one transient simulation of the whole strand from the settings
// under Input/, results under TeporaOut/.
#include "caster_file.h"
#include "plausibility.h"
#include "control_points.h"
#include "run_summary.h"
#include "run_setup.h"
#include "viewer.h"

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
    LoadSettings(Techset, tech, kSimNeeds.tech);
    LoadSettings(Numset, num, kSimNeeds.num);
    const GridSize grid = CheckRunSettings(Numset, Techset, num, tech, kSimNeeds);
    const int pmax = CountSetting(Numset, num, 4);
    bool has_caster = false;
    const CasterZones zones = LoadCaster(Casterfname, Techset(1), has_caster);
    CheckMemory(grid, SimulatorBytes(grid));
    ClearStaleTemporaries();
    cube Result;
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    P.model = options.model;
    WarnEmptyZones(Casterfname, zones, P.cooling.SetZones(zones, P.grid));
    WarnImplausible(Techset, tech, P, filename, Casterfname, CP, zones, false);
    WarnIfMouldCoarse(P, num);
    WarnIfUnstable(P, P.vz, num);
    P.snapshot_step = SteadinessSnapshotStep(pmax);
    Result = P.Compute(pmax, 'y');
    ReportStrand(P, {pmax, Techset(5), &zones, Casterfname}, CP);
    Visualise("TempProfile_final.mat");  // last: the plot reads the reports
    PrintElapsed(start);
  });
}
