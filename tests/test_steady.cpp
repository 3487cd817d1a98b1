// The steady strand solved slice by slice against the transient run of the
// cylindrical step carried to steady state, its own heat balance, and
// tepora-sim --steady end to end.
#include <nlohmann/json.hpp>

#include "model/exact_cylinder.h"
#include "model/steady_strand.h"
#include "model/strand_results.h"
#include "test_support.h"

using namespace tepora;

namespace {

// A short strand of the steel-like table: mould over 0.5 m, sprays, air
// cooling over the last 1 m; 5 rings, 8 sectors, 30 slices at 0.6 m/min.
// With `uneven`, sector j's sprays are 200 + 150 j W/(m^2 K), a strand that
// is not axisymmetric.
Tepora SmallStrand(bool uneven) {
  RunDir::Write("Input/Interp.csv", SteelTable());
  Tepora P(0.02, 0.1, kPi / 4, 0.1, 3.0, 0.0, 1550, "Input/Interp.csv", 0.01, 30, 1.0, 500);
  P.cooling.CrystallizerLength = 0.5;
  P.cooling.TertiaryLength = 1.0;
  if (uneven)
    for (int j = 0; j < P.grid.ndphi; ++j) P.cooling.CoolM.row(j).fill(200.0 + 150.0 * j);
  P.dtau = 0.9 * P.StableStepEstimate(P.vz);
  return P;
}

// The transient run from liquid steel until no cell moves by 1e-7 K over
// 200 steps: its own steady state.
cube TransientSteadyState(Tepora& P) {
  P.field.T.fill(P.T_in);
  Silenced quiet;
  for (int runs = 0;; ++runs) {
    const cube before = P.field.T;
    P.Compute(200, 'y');  // on from the field the last run left
    if (arma::abs(P.field.T - before).max() <= 1e-7 || runs > 100) return P.field.T;
  }
}

// Both strands, axisymmetric (solved on the rings alone, and on the whole
// cross-section) and with sprays that differ by sector, agree with the
// transient's steady state to within the axial conduction the steady solve
// leaves out, which weighs more here (v dz / a about 80) than on the
// example (550): measured 0.80 K at most, in the mould's third slice, and
// beyond the first metre 0.23 K (axisymmetric) and 0.40 K (uneven). The
// mould's 5 slices, cooled alike all round, are solved on their rings
// alone in both. Without the angular fluxes the uneven strand's sectors
// part by tens of kelvin.
TEST(Steady, AgreesWithTheTransientRunCarriedToSteadyState) {
  RunDir dir;
  for (bool uneven : {false, true}) {
    SCOPED_TRACE(uneven ? "uneven sprays" : "axisymmetric");
    Tepora P = SmallStrand(uneven);
    const SteadyStrand s = SolveSteadyStrand(P);
    EXPECT_EQ(s.stats.slices, P.grid.ndz - 1);
    EXPECT_EQ(s.stats.axisymmetric, uneven ? 5 : P.grid.ndz - 1);
    EXPECT_LE(s.stats.largest_residual, 1e-10 * P.material.ConstLin.Enthalpy(P.T_in));
    // In minus out: the strand's heat balance, zero to the residual.
    EXPECT_LE(std::fabs(s.Imbalance()), 1e-9 * s.carried_in);
    EXPECT_GT(s.surface_out, 0.02 * s.carried_in);
    if (!uneven) {
      const SteadyStrand whole = SolveSteadyStrand(P, false);
      EXPECT_EQ(whole.stats.axisymmetric, 0);
      EXPECT_LE(arma::abs(whole.T - s.T).max(), 1e-5);
    } else {
      // The sectors cooled hardest are coolest at the surface.
      EXPECT_GT(s.T(P.grid.ndr - 1, 0, 20) - s.T(P.grid.ndr - 1, P.grid.ndphi - 1, 20), 20.0);
    }
    const cube T = TransientSteadyState(P);
    const double worst = arma::abs(T - s.T).max();
    uword at = arma::abs(T - s.T).index_max();
    std::printf("%s: largest difference %.4f K in slice %llu\n",
                uneven ? "uneven" : "axisymmetric", worst,
                (unsigned long long)(at / (P.grid.ndr * P.grid.ndphi)));
    EXPECT_LT(worst, 1.0);
    // Beyond the first metre, away from the meniscus, closer.
    EXPECT_LT(arma::abs(T.slices(10, P.grid.ndz - 1) - s.T.slices(10, P.grid.ndz - 1)).max(),
              uneven ? 0.5 : 0.3);
  }
}

// tepora-sim --steady writes a transient run's results: the field the
// transient run's summary measures against, a start field a transient run
// takes as steady, and its refusals before anything is written.
TEST(Steady, ProgramWritesTheSteadyStrandAndRefusesWhatItCannotSolve) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 3.0, 600);
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 1.5 900\n");
  const Outcome s = Start(TEPORA_SIM, 1, false, {"--steady", "--no-plot"});
  ASSERT_EQ(s.status, 0) << s.err;
  EXPECT_NE(s.out.find("The steady strand without axial conduction, solved slice by slice; the "
                       "time step and the number of time steps (Input/NumSettings.txt lines 4 "
                       "and 5) are not used"),
            npos)
      << s.out;
  EXPECT_NE(s.out.find("steady state: the steady strand itself"), npos);
  EXPECT_EQ(s.err.find("not yet steady"), npos) << s.err;
  const nlohmann::json j = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  EXPECT_TRUE(j["steady_state"]["solved_directly"].get<bool>());
  EXPECT_TRUE(j["steady_state"]["steady"].get<bool>());
  EXPECT_LE(std::fabs(j["energy_balance_W"]["residual"].get<double>()),
            1e-9 * j["energy_balance_W"]["carried_in"].get<double>());
  const std::vector<std::vector<double>> steady_rows = StrandCsv();
  ASSERT_EQ(steady_rows.size(), 30u);
  cube steady;
  ASSERT_TRUE(steady.load("TeporaOut/T_0_final.cub"));
  cube H;
  ASSERT_TRUE(H.load("TeporaOut/H_0.cub"));
  EXPECT_EQ(arma::size(H), arma::size(steady));

  // A transient run from it: it hardly moves, and its summary measures the
  // distance to the steady strand, the axial conduction of these short
  // slices (0.80 K, see above).
  std::filesystem::copy_file("TeporaOut/T_0_final.cub", "TeporaOut/T_0.cub");
  const Outcome t = Start(TEPORA_SIM, 1, false, {"--no-plot"});
  ASSERT_EQ(t.status, 0) << t.err;
  const nlohmann::json k = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  const double distance = k["steady_state"]["largest_difference_to_steady_strand_K"];
  EXPECT_GT(distance, 0.0);
  EXPECT_LT(distance, 1.0);
  EXPECT_LT(k["steady_state"]["largest_change_over_last_tenth_K"].get<double>(), 0.2);
  EXPECT_NE(t.out.find("largest difference to the steady strand (without axial conduction)"),
            npos);
  const std::vector<std::vector<double>> rows = StrandCsv();
  ASSERT_EQ(rows.size(), steady_rows.size());
  for (size_t r = 0; r < rows.size(); ++r)  // surface and axis within a kelvin
    for (size_t c : {2, 4}) EXPECT_NEAR(rows[r][c], steady_rows[r][c], 1.0) << r << " " << c;

  // Refused with one line and status 2, nothing written: the flat step,
  // and a strand that does not move.
  ClearResults();
  for (const auto& [args, tech, said] :
       {std::tuple<std::vector<std::string>, std::string, std::string>{
            {"--steady", "--model", "flat"}, "", "error: --steady solves the cylindrical"},
        {{"--steady"}, Lines({0.1, 3.0, 30, 1550, 0, 500, 1.2}),
         "error: Input/TechSettings.txt: line 5 (casting speed, m/min) is 0; expected a casting "
         "speed above 0 for --steady"}}) {
    if (!tech.empty()) RunDir::Write("Input/TechSettings.txt", tech);
    const Outcome r = Start(TEPORA_SIM, 1, false, args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.err.rfind(said, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));
  }
  // The optimiser offers no --steady.
  EXPECT_EQ(Start(TEPORA_OPT, 1, false, {"--steady"}).status, 2);
}

}  // namespace
