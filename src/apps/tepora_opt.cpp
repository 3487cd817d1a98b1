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

int main(int, char**) {
  return RunProgram([] {
    time_t start;
    time(&start);
    CheckOutputDir();
    ControlPoints CP(CPfname);
    vec Techset, Numset;
    LoadSettings(Techset, Techfname, kOptNeeds.tech);
    LoadSettings(Numset, Numfname, kOptNeeds.num);
    CheckGrid(Numset, Techset, Numfname, Techfname);
    Tepora P = BuildStrandModel(Numset, Techset, Taumax, filename);
    Optimise C(Techset(6) / 60, P.T, overlap, filename, P.dr(0), P.dz(0), P.dphi, P.T_inf,
               P.dtau, CP);
    C.ComputePHA();
    PrintElapsed(start);
  });
}
