// tepora-opt: the spray htcs per element of the strand that bring the
// temperatures at the control points to their targets.
#include "control_points.h"
#include "optimise.h"
#include "run_setup.h"

char filename[] = "Input/Interp.csv";
char CPfname[] = "Input/ControlPoints.mat";
char Techfname[] = "Input/TechSettings.txt";
char Numfname[] = "Input/NumSettings.txt";

const double Taumax = 1000.0;
const double overlap = 0.25;

int main(int argc, char** argv) {
  PrepareProcess();
  ProgramOptions options;
  if (const auto status = ReadCommandLine(argc, argv, "tepora-opt", options))
    return ConsoleChecked(*status);
  return RunProgram([&] {
    time_t start;
    time(&start);
    CheckOutputDir();
    CheckWorkingDir();
    ControlPoints CP = LoadControlPoints(CPfname);
    const SettingsFile tech = TechSettingsFile(Techfname), num = NumSettingsFile(Numfname);
    vec Techset, Numset;
    LoadSettings(Techset, tech, kOptNeeds.tech);
    LoadSettings(Numset, num, kOptNeeds.num);
    const GridSize grid = CheckRunSettings(Numset, Techset, num, tech, kOptNeeds);
    const OptimiserCounts counts = CheckOptimiserInputs(CP, Numset, grid, overlap);
    ClearStaleTemporaries();
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    WarnIfUnstable(P, Techset(6) / 60, num);
    Optimise C(Techset(6) / 60, P.T, overlap, P.ConstM, P.dr(0), P.dz(0), P.dphi, P.T_inf,
               P.dtau, CP);
    C.model = options.model;
    C.ComputePHA();
    WarnIfUnsearched(counts);
    PrintElapsed(start);
  });
}
