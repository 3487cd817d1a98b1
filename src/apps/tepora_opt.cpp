// tepora-opt: the spray htcs per element of the strand that bring the
// temperatures at the control points to their targets.
#include "apps/caster_file.h"
#include "apps/cooling_table.h"
#include "optimise/zone_design.h"
#include "apps/zone_report.h"
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
  options.speeds_offered = true;
  const char what[] =
      "designs the caster's spray zones of Input/Caster.toml from the mould down for the "
      "control points of Input/ControlPoints.mat and the zones' targets within the caster's "
      "limits, or, without [[spray]] zones or under --model flat, searches the spray htcs "
      "element by element along the strand; results in TeporaOut/ of the working directory";
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
    bool has_caster = false;
    CasterZones zones = LoadCaster(Casterfname, Techset(1), has_caster);
    const bool design = !zones.sprays.empty() && options.model == Formulation::Cylindrical;
    if (design) {
      std::printf("Zone design: the %zu spray zones of %s, one after another from the mould "
                  "down, on the steady strand\n",
                  zones.sprays.size(), Casterfname);
      const double steps[3] = {Numset(0), kPi * Numset(2), Numset(1)};
      const int cells[3] = {int(grid.ndr), int(grid.ndphi), int(grid.ndz)};
      CheckControlPoints(CP.CPMat, steps, cells);
      if (!(Techset(6) > 0) && options.speeds.empty())
        throw InputError(tech.Entry(6) + " is " + ValueText(Techset(6)) +
                         "; expected a casting speed above 0 for the zone design, whose steel "
                         "travels down the strand from the meniscus");
      CheckMemory(grid, SimulatorBytes(grid));
      SetWaterHtcs(Casterfname, zones, Techset(0));
      ClearStaleTemporaries();
      Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
      P.model = options.model;
      WarnEmptyZones(Casterfname, zones, P.cooling.SetZones(zones, P.grid));
      WarnImplausible(Techset, tech, P, filename, Casterfname, CP, zones, true);
      WarnIfMouldCoarse(P, num);
      if (!options.speeds.empty()) {
        WriteCoolingTable(P, zones, CP, options.speeds, Casterfname, CPfname);
        Visualise("CoolingTable.csv");
      } else {
        P.vz = Techset(6) / 60;
        const ZoneDesign d = DesignZones(P, zones, CP, Casterfname, CPfname);
        WarnDesign(d);
        ReportZoneDesign(d, zones, P, CP, Casterfname);
        Visualise("Profile.mat");  // last: the plot reads the report
      }
      PrintElapsed(start);
      return;
    }
    if (!options.speeds.empty())
      throw InputError(std::string(Casterfname) +
                       ": lists no [[spray]] zones; expected the zones --speeds designs");
    std::printf("Element search: the spray htcs of %s element by element along the strand%s\n",
                "Input/OptSettings.txt",
                zones.sprays.empty() ? "" : " (--model flat: the [[spray]] zones are not designed)");
    const OptimiserCounts counts = CheckOptimiserInputs(CP, Numset, grid, overlap);
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
