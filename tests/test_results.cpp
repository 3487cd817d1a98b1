// The figures derived from a field: shell thickness, crater end, solidus and
// liquidus from the table, and the simulator's summary files end to end.
#include <nlohmann/json.hpp>

#include "model/front.h"
#include "model/strand_results.h"
#include "test_support.h"

using namespace tepora;

namespace {

// T = 1550 - 10000 r (degC): 1480 degC at r = 7 mm, a 93 mm shell on a
// 100 mm radius wherever the samples lie; 1490 degC at 6 mm.
TEST(Results, ShellAndCraterEndOnFieldsWithKnownAnswers) {
  std::vector<double> r, T;
  for (int i = 0; i < 10; ++i) r.push_back(0.005 + 0.01 * i), T.push_back(1550 - 10000 * r.back());
  EXPECT_NEAR(ShellThickness(r, T, 0.1, 550, 1480), 0.093, 1e-12);
  EXPECT_NEAR(ShellThickness(r, T, 0.1, 550, 1490), 0.094, 1e-12);
  EXPECT_EQ(ShellThickness(r, T, 0.1, 1490, 1480), 0.0);  // a liquid surface
  EXPECT_EQ(ShellThickness(r, T, 0.1, 550, 1600), 0.1);   // solid throughout
  EXPECT_TRUE(std::isnan(ShellThickness(r, T, 0.1, 550, NAN)));  // no solidus known
  // Between the surface and the outer ring: Ts 1400, outer ring 1500 at 95 mm.
  EXPECT_NEAR(ShellThickness({0.085, 0.095}, {1510, 1500}, 0.1, 1400, 1480), 0.004, 1e-12);

  const std::vector<double> z{0.5, 1.5, 2.5, 3.5}, axis{1540, 1500, 1470, 1400};
  EXPECT_NEAR(LastCrossingBelow(z, axis, 1480), 1.5 + 20.0 / 30.0, 1e-12);
  EXPECT_EQ(LastCrossingBelow(z, axis, 1300), INFINITY);  // beyond the strand's end
  EXPECT_LT(LastCrossingBelow(z, axis, 1600), 0);

  // The peak after a zone's exit at the next zone's end or at a sample inside.
  const std::vector<double> surf{1000, 900, 960, 990, 950};
  const std::vector<double> zs{0.5, 1.5, 2.5, 3.5, 4.5};
  EXPECT_DOUBLE_EQ(RiseAfter(zs, surf, 1.5, 3.5), 90);
  EXPECT_DOUBLE_EQ(RiseAfter(zs, surf, 1.0, 3.0), 975 - 950);
  EXPECT_EQ(RiseAfter(zs, surf, 3.5, 4.5), 0);  // cooling only
  WindowRise w = LargestRiseOver(zs, surf, 1.0);
  EXPECT_DOUBLE_EQ(w.per_m, 60);
  EXPECT_EQ(w.from, 1.5);
  w = LargestRiseOver(zs, surf, 2.0);
  EXPECT_DOUBLE_EQ(w.per_m, 45);
  // The best window may start between samples, where its end meets one.
  w = LargestRiseOver({0, 1, 2, 3}, {0, 0, 10, 10}, 1.5);
  EXPECT_DOUBLE_EQ(w.per_m, 10 / 1.5);
  EXPECT_EQ(w.from, 0.5);
  EXPECT_DOUBLE_EQ(LargestRiseOver({0, 1}, {0, 10}, 2.0).per_m, 5);  // shorter than the span
  EXPECT_TRUE(std::isnan(LargestRiseOver(zs, {5, 4, 3, 2, 1}, 1.0).from));

  RunDir dir;  // the test table's latent heat lies between 1450 and 1500 degC
  RunDir::Write("Input/Interp.csv", SteelTable());
  Tepora m(0.01, 0.1, 0.5 * M_PI, 0.1, 2.0, 1000, 1550, "Input/Interp.csv", 0.01, 30, 0.5, 500);
  double sol_T = 0, liq_T = 0;
  ASSERT_TRUE(EstimateSolidusLiquidus(m.material.ConstM, sol_T, liq_T));
  EXPECT_EQ(sol_T, 1450);
  EXPECT_EQ(liq_T, 1500);
  // Fronts from the rings' enthalpies (solidus 5.8e9, liquidus 7.9e9 J/m^3):
  // rings 0..6 melt (1550 degC), 7 a fifth solid (1490), 8 three fifths
  // (1470), 9 solid (1250). The solidus crosses between ring centres 8 and
  // 9 on the potential's parabola through them and the surface, the
  // liquidus between 6 and 7 on the one through centres 6, 7 and 8.
  const double ring[10] = {8.1e9, 8.1e9, 8.1e9, 8.1e9, 8.1e9, 8.1e9, 8.1e9, 7.48e9, 6.64e9, 5e9};
  m.field.H_final.set_size(arma::size(m.field.T));
  for (uword c = 0; c < m.field.T.n_elem; ++c) {
    double rho;
    m.field.H_final(c) = ring[c % 10];
    m.material.ConstLin.FromEnthalpy(m.field.H_final(c), m.field.T(c), rho);
  }
  std::vector<StrandRow> rows = StrandRows(m, 1450, 1500);
  const double surface = arma::mean(m.SurfaceField().col(7));
  ASSERT_LT(m.SurfaceField().col(7).max() - surface, 1e-9);  // one surface all round
  const double P = SteelPotential(1250), Ps = SteelPotential(surface);
  const double sol = ParabolaCrossing(85, SteelPotential(1470), 95, P, 100, Ps, SteelPotential(1450));
  const double liq = ParabolaCrossing(65, SteelPotential(1550), 75, SteelPotential(1490), 85,
                                      SteelPotential(1470), SteelPotential(1500));
  EXPECT_NEAR(rows[7].shell_sol, 100 - sol, 1e-6);
  EXPECT_NEAR(rows[7].shell_liq, 100 - liq, 1e-6);
  // Not the straight lines of the temperature.
  EXPECT_GT(std::fabs(rows[7].shell_sol - (100 - (85 + 20.0 / 220 * 10))), 0.1);
  double solid = 0;  // by volume: ring i holds (2 i + 1) hundredths of the disc
  for (int i : {7, 8, 9}) solid += (2 * i + 1) * (i == 9 ? 1 : i == 8 ? 0.6 : 0.2) / 100;
  EXPECT_NEAR(rows[7].solid, solid, 1e-12);
  EXPECT_NEAR(rows[7].axis, 1550, 1e-9);
  EXPECT_NEAR(rows[7].z, 0.75, 1e-12);
  // The axis wholly solid between slices 3 and 4, a tenth solid (7.69e9)
  // 0.21 / 0.4 of the way from slice 0 to 1, at the liquidus in slice 0.
  for (uword k = 0; k < m.field.T.n_slices; ++k)
    rows[k].axis_level = k < 2 ? 7.9e9 - 0.4e9 * double(k) : 5e9;
  rows[2].axis_level = 6.7e9, rows[3].axis_level = 6.1e9;
  EXPECT_NEAR(AxisReaches(m, rows, 1450, 1500, 1.0), 0.35 + 0.1 * 0.3 / 1.1, 1e-12);
  EXPECT_NEAR(AxisReaches(m, rows, 1450, 1500, 0.1), 0.05 + 0.1 * 0.21 / 0.4, 1e-12);
  EXPECT_EQ(AxisReaches(m, rows, 1450, 1500, 0.0), 0.05);
}

// The summary against figures recomputed from the saved field: points beyond
// the outer ring's centre (45 mm of 50) read the surface, others interpolate.
TEST(Results, SimulatorSummaryAgreesWithTheSavedField) {
  RunDir dir;
  WriteSmallCase(0.01, 0.1, 0.25, 0.05, 6.0, 1500);
  RunDir::Write("Input/TechSettings.txt", Lines({0.05, 6.0, 30, 1530, 0.6, 800, 1.2}));
  const std::string caster = "[mould]\nlength_m = 0.8\nhtc_W_m2K = 1500\n[air]\nfrom_m = 5.5\n"
                             "[steel]\nsolidus_degC = 1450\nliquidus_degC = 1500\n";
  RunDir::Write("Input/Caster.toml", caster);
  RunDir::Write("Input/ControlPoints.mat", "0.05 1 3.05 1000\n0.046 1 3.05 1000\n"
                                           "0.045 1 1.25 1000\n0.044 1 3.05 1000\n"
                                           "0.02 1 3.05 1000\n0.001 1 3.05 1000\n");
  const Outcome r = Start(TEPORA_SIM, 1, false, {});  // the default, cylindrical step
  ASSERT_EQ(r.status, 0) << r.err;
  const auto s = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  cube H, T;  // solidus 5.8e9 J/m^3 in the test table
  ASSERT_TRUE(H.load("TeporaOut/H_0.cub", arma_ascii));
  ASSERT_TRUE(T.load("TeporaOut/T_0_final.cub", arma_ascii));
  const std::vector<std::vector<double>> rows = StrandCsv();
  ASSERT_EQ(rows.size(), 60u);
  const auto& points = s["control_points"];
  ASSERT_EQ(points.size(), 6u);
  const auto read = [&](int p) { return points[p]["temperature_degC"].get<double>(); };
  for (int p : {0, 1}) {  // slice 30, mean surface column
    EXPECT_NEAR(read(p), rows[30][2], 0.5) << p;
    EXPECT_EQ(points[p]["reads"], "surface");
  }
  EXPECT_NEAR(read(2), rows[12][2], 0.5);  // in the mould
  EXPECT_LT(read(0), T(4, 1, 30) - 20);     // the outer ring's centre is far hotter
  EXPECT_NEAR(read(3), 0.9 * T(4, 1, 30) + 0.1 * T(3, 1, 30), 1e-3);
  EXPECT_NEAR(read(4), 0.5 * T(1, 1, 30) + 0.5 * T(2, 1, 30), 1e-3);
  EXPECT_NEAR(read(5), T(0, 1, 30), 1e-3);  // inside the disc's centre
  EXPECT_EQ(points[3]["reads"], "inside");
  EXPECT_NE(r.out.find("control points (the surface temperature from the outer ring's centre out"),
            npos);
  EXPECT_GT(s["shell_at_mould_exit_mm"].get<double>(), 30);
  EXPECT_EQ(r.err.find("spans fewer than 3 rings"), npos) << r.err;
  const auto axis_falls_below = [&](double level) {  // the last crossing on the axis, m
    double at = -1;
    for (uword k = 0; k + 1 < H.n_slices; ++k)
      if (H(0, 0, k) >= level && H(0, 0, k + 1) < level)
        at = 0.1 * (double(k) + 0.5) + 0.1 * (H(0, 0, k) - level) / (H(0, 0, k) - H(0, 0, k + 1));
    return at;
  };
  const double crater = axis_falls_below(5.8e9);
  ASSERT_GT(crater, 0.8) << r.out;
  EXPECT_NEAR(s["crater_end_m"].get<double>(), crater, 1e-9);
  EXPECT_EQ(s["crater_solid_fraction"].get<double>(), 1.0);
  // Slices 7 and 8 are centred 5 cm either side of the mould's end.
  const auto potential = SteelPotential;
  double shell = 0;
  RadialLine line;
  line.H_sol = 5.8e9, line.H_liq = 7.9e9, line.range_K = 50;
  line.phi_sol = potential(1450), line.phi_liq = potential(1500);
  for (uword i = 0; i <= H.n_rows; ++i) line.faces.push_back(0.01 * double(i));
  for (uword k : {7u, 8u})
    for (uword j = 0; j < H.n_cols; ++j) {
      line.H.clear();
      line.phi.clear();
      for (uword i = 0; i < H.n_rows; ++i) line.H.push_back(H(i, j, k)), line.phi.push_back(potential(T(i, j, k)));
      shell += 0.5 * (0.05 - FrontRadius(line, 1.0)) / double(H.n_cols);
    }
  ASSERT_GT(shell, 0.015);
  EXPECT_NEAR(s["shell_at_mould_exit_mm"].get<double>(), 1000 * shell, 1e-6) << r.out;
  EXPECT_EQ(s["zones"][0]["to_m"].get<double>(), 0.8);

  // A crater ending where the axis is 0.7 solid, upstream; the same field.
  RunDir::Write("Input/Caster.toml", caster + "crater_solid_fraction = 0.7\n");
  const Outcome r7 = Start(TEPORA_SIM, 1, false, {});
  ASSERT_EQ(r7.status, 0) << r7.err;
  const auto s7 = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  const double crater7 = axis_falls_below(7.9e9 - 0.7 * 2.1e9);
  EXPECT_NEAR(s7["crater_end_m"].get<double>(), crater7, 1e-9);
  EXPECT_LT(crater7, crater - 0.05);
  EXPECT_EQ(s7["liquid_pool_end_m"], s["liquid_pool_end_m"]);
  EXPECT_NE(r7.out.find("crater end (metallurgical length, axis 0.7 solid): "), npos) << r7.out;
}

// Strong sprays then weak: on slices of 0.1 and 0.05 m the rise after each
// zone and over 1 m hardly change, the steepest between slices grows by half.
TEST(Results, ReheatingInPlantTermsHardlyChangesWithTheSlices) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/TechSettings.txt", Lines({0.1, 6.0, 30, 1530, 0.6, 800, 1.2}));
  RunDir::Write("Input/Caster.toml",
                "[mould]\nlength_m = 0.8\nhtc_W_m2K = 1000\n[[spray]]\nfrom_m = 0.8\nto_m = 2\n"
                "htc_W_m2K = 1500\n[[spray]]\nfrom_m = 2\nto_m = 5.5\nhtc_W_m2K = 100\n[air]\n"
                "from_m = 5.5\n[steel]\nsolidus_degC = 1450\nliquidus_degC = 1500\n");
  nlohmann::json s[2];
  double per_slice[2];
  for (int g = 0; g < 2; ++g) {
    const double dz = g == 0 ? 0.1 : 0.05;
    RunDir::Write("Input/NumSettings.txt", Lines({0.01, dz, 0.25, 0.5, 2400}));
    const Outcome r = Start(TEPORA_SIM, 1, false, {});
    ASSERT_EQ(r.status, 0) << r.err;
    s[g] = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
    EXPECT_TRUE(s[g]["steady_state"]["steady"].get<bool>());
    const auto rows = StrandCsv();  // z, lowest and mean surface temperature
    per_slice[g] = 0;
    for (size_t k = 0; k + 1 < rows.size(); ++k)
      per_slice[g] = std::max(per_slice[g], (rows[k + 1][2] - rows[k][2]) /
                                                (rows[k + 1][0] - rows[k][0]));
    const bool coarse = g == 0;
    EXPECT_EQ(r.err.find("warning: Input/NumSettings.txt: line 2 (axial cell length, m) is 0.1 m, "
                         "longer than a tenth of the 0.8 m mould, which then spans fewer than "
                         "10 slices;") != npos, coarse) << r.err;
    EXPECT_NE(r.err.find("warning: Input/NumSettings.txt: line 1 (radial cell width, m) is 0.01 "
                         "m, and the shell at mould exit (0.8 m), "), npos) << r.err;
    EXPECT_NE(r.out.find("  surface reheating after zone exits: mould 0 K, spray 1 "),
              npos) << r.out;
  }
  ASSERT_LT(s[0]["shell_at_mould_exit_mm"].get<double>(), 30);
  const auto& zones0 = s[0]["zones"];
  ASSERT_EQ(zones0.size(), 4u);
  EXPECT_TRUE(zones0[3]["reheating_after_K"].is_null());  // nothing after the air
  const double rise = zones0[1]["reheating_after_K"].get<double>();
  EXPECT_GT(rise, 200);
  for (size_t n = 0; n < 3; ++n) {
    const auto& a = zones0[n];
    const auto& b = s[1]["zones"][n];
    EXPECT_LE(std::fabs(a["reheating_after_K"].get<double>() - b["reheating_after_K"].get<double>()),
              std::fabs(a["exit_surface_degC"].get<double>() - b["exit_surface_degC"].get<double>()) +
                  0.5) << n;
  }
  const double metre[2] = {s[0]["largest_reheating_over_1m_K_per_m"].get<double>(),
                           s[1]["largest_reheating_over_1m_K_per_m"].get<double>()};
  EXPECT_GT(metre[0], 200);
  EXPECT_NEAR(metre[1] / metre[0], 1.0, 0.01);
  EXPECT_NEAR(s[0]["largest_reheating_over_1m_from_m"].get<double>(), 2.0, 0.1);
  EXPECT_GT(per_slice[1] / per_slice[0], 1.5);
  EXPECT_TRUE(s[0]["largest_reheating_K_per_m"].is_null());  // the flat step's figure
}

// Without latent heat or [steel] no shell or crater end is made up; without
// a step the files hold the starting field; figures print whole.
TEST(Results, FiguresLeftOutWhereUnknownAndPrintedWhole) {
  RunDir dir;
  WriteSmallCase();
  std::string table;
  for (int T = 25; T <= 1600; T += 25)
    table += std::to_string(T) + "," + std::to_string(4000 * T) + ",30\n";
  RunDir::Write("Input/Interp.csv", table);
  Outcome r = Start(TEPORA_SIM);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("no melting range known"), npos) << r.out;
  std::istringstream csv(ReadFile("TeporaOut/Strand.csv"));
  std::string line;
  std::getline(csv, line);
  int rows = 0;
  for (; std::getline(csv, line); ++rows) {
    EXPECT_EQ(line.substr(line.size() - 3), ",,,") << line;  // shells and solid fraction
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 7) << line;
  }
  EXPECT_EQ(rows, 30);
  auto s = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  for (const char* key :
       {"solidus_degC", "shell_at_mould_exit_mm", "liquid_pool_end_m", "crater_end_m"})
    EXPECT_TRUE(s[key].is_null()) << key;

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 0.5, 0}));
  r = Start(TEPORA_SIM);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Strand summary: none, no time step ran"), npos) << r.out;
  EXPECT_EQ(r.out.find("steady state"), npos) << r.out;
  EXPECT_EQ(r.err.find("not yet steady"), npos) << r.err;
  s = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
  EXPECT_EQ(s["steady_state"]["simulated_s"].get<double>(), 0.0);
  cube T;
  ASSERT_TRUE(T.load("TeporaOut/T_0_final.cub", arma_ascii));
  EXPECT_EQ(T.min(), 1550);
  EXPECT_EQ(T.max(), 1550);

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 0.5, 2}));
  RunDir::Write("Input/Caster.toml", "[steel]\nsolidus_degC = 1e70\nliquidus_degC = 2e70\n");
  r = Start(TEPORA_SIM);
  ASSERT_EQ(r.status, 0) << r.err;
  char whole[256];
  std::snprintf(whole, sizeof whole, "solidus %.1f degC, liquidus %.1f degC", 1e70, 2e70);
  EXPECT_NE(r.out.find(whole), npos) << r.out;
}

}  // namespace
