// tepora-opt: the spray htcs per element of the strand that bring the
// temperatures at the control points to their targets.
#include "apps/caster_file.h"
#include "apps/plausibility.h"
#include "apps/opt_report.h"
#include "optimise/control_points.h"
#include "optimise/optimise.h"
#include "apps/run_setup.h"
#include "common/viewer.h"

using namespace tepora;

char filename[] = "Input/Interp.csv";
char CPfname[] = "Input/ControlPoints.mat";
char Techfname[] = "Input/TechSettings.txt";
char Numfname[] = "Input/NumSettings.txt";
char Casterfname[] = "Input/Caster.toml";

const double Taumax = 1000.0;
const double overlap = 0.25;

int main(int argc, char** argv) {
  PrepareProcess();
  const RankSession ranks(&argc, &argv);  // one rank, or those mpirun started
  ProgramOptions options;
  const char what[] =
      "searches the spray htcs, element by element along a round steel strand, that "
      "bring its temperatures at the control points of Input/ControlPoints.mat to "
      "their targets; results in TeporaOut/ of the working directory";
  if (const auto status = ReadCommandLine(argc, argv, "tepora-opt", what, options))
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
    bool has_caster = false;
    const CasterZones zones = LoadCaster(Casterfname, Techset(1), has_caster);
    ClearStaleTemporaries();
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    P.model = options.model;
    P.cooling.SetZones(zones, P.grid);
    WarnImplausible(Techset, tech, P, filename, Casterfname, CP, zones, true);
    WarnIfMouldCoarse(P, num);
    WarnIfUnstable(P, Techset(6) / 60, num);
    // The optimiser searches the spray htcs itself.
    if (!zones.sprays.empty())
      std::printf("%s: the [[spray]] entries are not used; tepora-opt searches the spray htcs\n",
                  Casterfname);
    Optimise C(Techset(6) / 60, P.field.T, overlap, P.material.ConstM, P.grid.dr(0), P.grid.dz(0),
               P.grid.dphi, P.cooling.T_inf, P.dtau, CP);
    C.model = options.model;
    C.zones = zones;
    C.RealTertiaryLength = P.cooling.TertiaryLength;
    C.WarnIfRunsShort(Techset(6));
    C.ComputePHA();
    WriteWhole(
        "TeporaOut/OptimalSprays.toml", "toml",
        SpraysToml(ElementStretches(ElementLayoutOf(C.settings.elements, overlap, C.ndz), C.OptimalHtcs, C.dz0,
                                    zones.mould_length, P.grid.L - P.cooling.TertiaryLength)));
    ReportOptimiser(C, P, CP, zones, overlap, counts.iterations > 0 && counts.element_steps > 0);
    WarnIfUnsearched(counts);
    Visualise("Profile.mat");  // last: the plot reads the report
    PrintElapsed(start);
  });
}
