// Verification of the thermal model against the exact cooling of a long round
// bar (Bi = 5, constant properties) and the exact freezing of a half-space
// (two-phase Neumann solution), run from anywhere:
//   build/bench/tepora-verify [data file]
// prints a Markdown table of the centre and surface errors on rings of R/8
// to R/64 at Fo = 0.05, 0.2 and 0.5 with the observed orders, and one of the
// freezing front's error on rings of 4, 2 and 1 mm with equal conductivities
// and with the melt conducting four times as well as the solid, and one of a
// mode that varies around the bar on rings of R/8 to R/64; writes the
// data of scripts/plot_verification.m (default verification.dat).
#include <cstdlib>
#include <filesystem>

#include "model/exact_cylinder.h"
#include "model/exact_neumann.h"
#include "apps/program_start.h"

using namespace tepora;

namespace fs = std::filesystem;

namespace {

const int kGrids[] = {8, 16, 32, 64};
const double kFo[] = {0.05, 0.2, 0.5};
// Time step as a fraction of the stability estimate. It falls with the cell
// width squared, so the time error keeps the order of the space error; at 1 %
// it is about 5 % of the space error and of the opposite sign (at 25 % the
// two nearly cancel at the surface and the table would flatter the model).
const double kFraction = 0.01;

// The freezing front: rings of 4, 2 and 1 mm, read every 0.5 s to 60 s.
const double kWidths[] = {0.004, 0.002, 0.001};
const double kEnd = 60.0;
const int kSamples = 120;
// The front's error falls with the ring width; the time step, 1/4 of the
// stability estimate, falls with its square and changes the errors by
// about 0.01 % of the front.
const double kFrontFraction = 0.25;

void VerifyFront() {
  const NeumannStrand strand;
  const NeumannProperties& p = strand.props;
  std::printf("\nFreezing of a half-space, the two-phase Neumann solution, on a strand of R = %g m: "
              "melt at %g degC, the surface held at %g degC (htc %g W/(m^2 K)), melting at %g degC "
              "(the latent heat %g J/m^3 released between %g and %g degC), solid %g W/(m K), "
              "c = %g J/(m^3 K) in both phases; the front read from the ring enthalpies; errors "
              "are model minus exact over exact, the largest over 30-60 s with its observed order.\n\n",
              strand.R, p.T0, p.Ts, strand.htc, p.Tm, p.L, strand.solidus, strand.liquidus,
              p.lambda_s, p.c_s);
  std::printf("| melt / solid conductivity | rings | steps | front 60 s (mm) | 15 s (%%) | 30 s (%%) "
              "| 60 s (%%) | largest 30-60 s (%%) | order |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (double ratio : {1.0, 4.0}) {
    NeumannStrand s = strand;
    s.props.lambda_l = ratio * s.props.lambda_s;
    const ExactNeumann exact(s.props);
    double last = 0.0;
    for (double w : kWidths) {
      const NeumannRun run = RunNeumannStrand(s, exact, w, kEnd, kSamples, kFrontFraction);
      const double worst = run.WorstError(kEnd);
      char order[16] = "";
      if (last > 0) std::snprintf(order, sizeof order, "%.2f", std::log2(last / worst));
      last = worst;
      std::printf("| %g | %g mm | %d | %.3f | %+.3f | %+.3f | %+.3f | %.3f | %s |\n", ratio,
                  1000 * w, run.steps, 1000 * run.depth[run.At(kEnd)], 100 * run.Error(run.At(15.0)),
                  100 * run.Error(run.At(30.0)), 100 * run.Error(run.At(kEnd)), 100 * worst, order);
    }
  }
}

// The first cos(phi) mode of a bar held at T0: rings of R/8 to R/64 and twice
// as many sectors, steps of 0.9 of the stability estimate (beyond the inner
// rings' explicit angular bound), to the mode's decay to e^-1.
void VerifyAngular() {
  const AngularMode bar;
  std::printf("\nThe first cos(phi) mode of a bar of R = %g m held at %g degC, T = T0 + %g K "
              "J1(k r) cos(phi) exp(-a k^2 t), k = j11 / R, a = %g m^2/s, to its decay to e^-1 "
              "(%.1f s), steps of 0.9 x the stability estimate; errors model minus exact over "
              "the cells (the disc against T0).\n\n",
              bar.R, bar.T0, bar.A, bar.lambda / bar.c, bar.Time(1.0));
  std::printf("| rings x sectors | steps | implicit rings | rms error (K) | largest (K) | "
              "in ring | order rms | order largest |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  AngularRun last;
  for (int n : kGrids) {
    const AngularRun run = RunAngularMode(bar, n, 1.0, 0.9);
    char order[2][16] = {"", ""};
    if (last.rings > 0) {
      std::snprintf(order[0], 16, "%.2f", std::log2(last.rms / run.rms));
      std::snprintf(order[1], 16, "%.2f", std::log2(last.error / run.error));
    }
    std::printf("| %d x %d | %d | %d of %d | %.4f | %.4f | %d | %s | %s |\n", n, run.sectors,
                run.steps, run.implicit, n, run.rms, run.error, run.worst_ring, order[0], order[1]);
    last = run;
  }
}

void Verify(const fs::path& data_file) {
  const CoolingCylinder bar;
  const ExactCylinder exact(bar.Bi);
  const double range = bar.T0 - bar.Tc;
  std::ofstream data(data_file);
  data.precision(10);
  data << "% Cooling bar R = " << bar.R << " m, Bi = " << bar.Bi << ", " << bar.T0 << " degC into "
       << bar.Tc << " degC\n"
       << "% kind 1: model ring mean   1 rings Fo r/R T_model T_exact_ring_mean\n"
       << "% kind 2: exact profile     2 0 Fo r/R T_exact T_exact\n"
       << "% kind 3: errors (K)        3 rings Fo 0 centre_error surface_error\n";

  char dir_template[] = "/tmp/tepora-verify-XXXXXX";
  const fs::path dir = mkdtemp(dir_template);
  const fs::path old = fs::current_path();
  fs::create_directories(dir / "Input");
  fs::create_directories(dir / "TeporaOut");
  fs::current_path(dir);

  std::printf("Exact cooling of a long bar, R = %g m, Bi = %g, %g degC into %g degC, time steps "
              "of %g x the stability estimate; errors are model minus exact, centre = the disc "
              "on the axis against its exact mean, surface = the outer face at r = R.\n\n",
              bar.R, bar.Bi, bar.T0, bar.Tc, kFraction);
  std::printf("| rings | Fo | steps | centre error (K) | surface error (K) | centre (%%) | "
              "surface (%%) | order centre | order surface |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  double last[3][2] = {{0, 0}, {0, 0}, {0, 0}};
  for (int n : kGrids) {
    for (int f = 0; f < 3; ++f) {
      const double Fo = kFo[f];
      const CoolingRun run = RunCoolingCylinder(bar, exact, n, Fo, kFraction);
      const double e[2] = {run.CentreError(), run.SurfaceError()};
      char order[2][16] = {"", ""};
      for (int w = 0; w < 2; ++w) {
        if (last[f][w] != 0) std::snprintf(order[w], 16, "%.2f", std::log2(last[f][w] / std::fabs(e[w])));
        last[f][w] = std::fabs(e[w]);
      }
      std::printf("| R/%d | %.2f | %d | %.3f | %.3f | %.3f | %.3f | %s | %s |\n", n, Fo, run.steps,
                  e[0], e[1], 100 * e[0] / range, 100 * e[1] / range, order[0], order[1]);
      data << "3 " << n << " " << Fo << " 0 " << e[0] << " " << e[1] << "\n";
      if (n != kGrids[3]) continue;
      for (int i = 0; i < n; ++i)
        data << "1 " << n << " " << Fo << " " << 0.5 * (run.face[i] + run.face[i + 1]) / bar.R
             << " " << run.ring[i] << " " << run.ring_exact[i] << "\n";
      data << "1 " << n << " " << Fo << " 1 " << run.surface << " " << run.surface_exact << "\n";
      for (int s = 0; s <= 200; ++s) {
        const double T = bar.Exact(exact.Theta(s / 200.0, Fo));
        data << "2 0 " << Fo << " " << s / 200.0 << " " << T << " " << T << "\n";
      }
    }
  }
  VerifyFront();
  VerifyAngular();
  fs::current_path(old);
  fs::remove_all(dir);
  std::printf("\nData for the plot: %s\n", data_file.c_str());
  if (!data.flush()) throw std::runtime_error(data_file.string() + ": could not be written");
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path data_file = fs::absolute(argc > 1 ? argv[1] : "verification.dat");
  // Every run of the model asks Octave for a plot of its profile; this
  // program draws its own figure from the data file instead.
  setenv("PATH", "/nonexistent", 1);
  return RunProgram([&] { Verify(data_file); });
}
