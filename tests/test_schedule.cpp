// Casting schedules: the moment read between rows, a run that holds one
// speed stepping as a run without a schedule, the strand settling after a
// step in speed, and the history and summary of a scheduled run.
#include <nlohmann/json.hpp>

#include "model/exact_cylinder.h"
#include "model/schedule.h"
#include "model/steady_strand.h"
#include "test_support.h"

using namespace tepora;

namespace {

// Rows at 0, 60 and 120 s: speed 2 -> 1 -> 1 m/min (m/s), zone 2's factor
// 1 -> 0.5 -> 2, zone 1 left alone.
Schedule ThreeRows() {
  Schedule s;
  s.time_s = {0, 60, 120};
  s.speed = {2.0 / 60, 1.0 / 60, 1.0 / 60};
  s.factor = {{}, {1.0, 0.5, 2.0}};
  return s;
}

// The schedule's moment between and beyond its rows, and the model set to it.
TEST(Schedule, ReadsStraightLinesBetweenRowsAndHoldsAfterTheLast) {
  const Schedule s = ThreeRows();
  EXPECT_EQ(s.At(-5).speed, 2.0 / 60);  // before the first row: the first
  EXPECT_EQ(s.At(0).speed, 2.0 / 60);
  EXPECT_DOUBLE_EQ(s.At(15).speed, 1.75 / 60);
  EXPECT_EQ(s.At(60).speed, 1.0 / 60);
  EXPECT_EQ(s.At(90).speed, 1.0 / 60);  // two equal rows give the value itself
  EXPECT_DOUBLE_EQ(s.At(90).factor[1], 1.25);
  EXPECT_EQ(s.At(1e6).factor[1], 2.0);
  EXPECT_EQ(s.At(30).factor[0], 1.0);
  EXPECT_TRUE(std::isnan(s.At(30).casting));
  EXPECT_EQ(s.Highest().speed, 2.0 / 60);
  EXPECT_EQ(s.Highest().factor[1], 2.0);

  // Zone 2 covers the slices with centres in [0.3, 0.6) m of 0.1 m slices.
  RunDir dir;
  RunDir::Write("Input/Interp.csv", SteelTable());
  Tepora P(0.02, 0.1, kPi / 4, 0.1, 1.0, 0.0, 1550, "Input/Interp.csv", 0.01, 30, 1.0, 500);
  const std::vector<SprayZone> sprays = {{0.1, 0.3, 400}, {0.3, 0.6, 800}};
  CasterZones zones;
  zones.sprays = sprays;
  P.cooling.SetZones(zones, P.grid);
  const std::vector<int> of = ZoneOfSlices(sprays, P.grid);
  EXPECT_EQ(of, (std::vector<int>{-1, 0, 0, 1, 1, 1, -1, -1, -1, -1}));
  const ScheduleFollower follow(s, P, of);
  follow.Apply(P, 90.0);
  EXPECT_EQ(P.vz, 1.0 / 60);
  EXPECT_EQ(P.T_in, 1550);  // no casting column: the settings' own
  EXPECT_EQ(P.cooling.CoolM(3, 2), 400);
  EXPECT_EQ(P.cooling.CoolM(3, 4), 1000);
  EXPECT_EQ(P.cooling.CoolM(3, 7), 500);
  follow.Apply(P, 0.0);  // against the zones' own htcs, not the last moment's
  EXPECT_EQ(P.cooling.CoolM(3, 4), 800);
}

// Follows a schedule step by step, as the simulator's run does.
struct Follow : RunHook {
  const ScheduleFollower& f;
  explicit Follow(const ScheduleFollower& follower) : f(follower) {}
  void Before(StrandModel& m, int p) override { f.Apply(m, double(p) * m.dtau); }
  void After(StrandModel&, const cube&, int) override {}
};

// A short strand cast at 0.6 m/min from its steady strand steps to 1.0
// m/min after 20 s and is cast on for six transit times at the new speed:
// it then lies within 0.5 K of the steady strand solved at 1.0 m/min in
// every cell (the steady solve leaves out the axial conduction, worth up to
// 0.3 K here), and the step moved it by far more on its way.
TEST(Schedule, AfterAStepInSpeedTheStrandSettlesToTheSteadyStrandAtTheNewSpeed) {
  RunDir dir;
  RunDir::Write("Input/Interp.csv", SteelTable());
  Tepora P(0.02, 0.1, kPi / 4, 0.1, 3.0, 0.0, 1550, "Input/Interp.csv", 0.01, 30, 1.0, 500);
  P.cooling.CrystallizerLength = 0.5;
  P.cooling.TertiaryLength = 1.0;
  P.dtau = 0.9 * P.StableStepEstimate(1.0 / 60);
  Schedule s;
  s.time_s = {0, 20, 21};
  s.speed = {0.6 / 60, 0.6 / 60, 1.0 / 60};
  const ScheduleFollower follower(s, P, std::vector<int>(size_t(P.grid.ndz), -1));
  follower.Apply(P, 1e9);
  const cube at_new = SolveSteadyStrand(P).T;
  follower.Apply(P, 0.0);
  const cube at_old = SolveSteadyStrand(P).T;
  P.field.T = at_old;
  Follow hook(follower);
  P.hook = &hook;
  {
    Silenced quiet;
    P.Compute(int((21 + 6 * 3.0 / (1.0 / 60)) / P.dtau), 'y');
  }
  EXPECT_EQ(P.vz, 1.0 / 60);
  const double settled = arma::abs(P.field.T - at_new).max();
  std::printf("settled within %.4f K of the steady strand at the new speed (the speeds' steady "
              "strands differ by %.1f K)\n", settled, arma::abs(at_new - at_old).max());
  EXPECT_LT(settled, 0.5);
  EXPECT_GT(arma::abs(at_new - at_old).max(), 50.0);
}

// The simulator's results: every file a run leaves but the history.
std::string Results() {
  std::string text;
  for (const char* f : {"H_0.cub", "T_0_final.cub", "TempProfile_final.mat", "Strand.csv"})
    text += ReadFile(std::string("TeporaOut/") + f);
  return text;
}

// From one start field, a schedule that holds the settings' speed, casting
// temperature and sprays gives the results of the run without one to the
// last bit; a schedule that steps the speed ends with its end, keeps its
// history every 10 s and reports its extremes and real-time factor.
TEST(Schedule, SimulatorFollowsAScheduleAndKeepsItsHistory) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 3.0, 1000);
  RunDir::Write("Input/Caster.toml", "[mould]\nlength_m = 0.5\n[air]\nfrom_m = 2\n"
                                     "[[spray]]\nfrom_m = 0.5\nto_m = 1.2\nhtc_W_m2K = 700\n"
                                     "[[spray]]\nfrom_m = 1.2\nto_m = 2\nhtc_W_m2K = 300\n");
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 1 1300\n0.09 0.5 2.5 1200\n");
  const std::vector<std::string> cyl = {"--no-plot"};
  Outcome r = Start(TEPORA_SIM, 1, false, cyl);
  ASSERT_EQ(r.status, 0) << r.err;
  std::filesystem::copy_file("TeporaOut/T_0_final.cub", "start.cub");
  const auto run = [&](const std::string& schedule) {
    ClearResults();
    std::filesystem::copy_file("start.cub", "TeporaOut/T_0.cub",
                               std::filesystem::copy_options::overwrite_existing);
    if (schedule.empty())
      std::filesystem::remove("Input/Schedule.csv");
    else
      RunDir::Write("Input/Schedule.csv", schedule);
    return Start(TEPORA_SIM, 1, false, cyl);
  };
  r = run("");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string without = Results();
  r = run("time_s,speed_m_min,casting_degC,spray2_factor,spray1_factor\n"
          "0,0.6,1550,1,1\n50,0.6,1550,1,1\n1e6,0.6,1550,1,1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Results(), without);

  // 2 -> 1 m/min over 20 .. 30 s, sprays of zone 1 doubled, to its end at 60 s.
  r = run("time_s,speed_m_min,spray1_factor\n0,0.6,1\n20,0.6,1\n30,1,2\n60,1,2\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("60 s of casting in "), npos) << r.out;
  EXPECT_NE(r.out.find("times faster than real time"), npos) << r.out;
  const std::string history = ReadFile("TeporaOut/History.csv");
  std::istringstream lines(history);
  std::string header, line;
  std::getline(lines, header);
  EXPECT_EQ(header, "time_s,speed_m_min,casting_degC,shell_at_mould_exit_mm,liquid_pool_end_m,"
                    "crater_end_m,mould_heat_kW,point1_degC,point2_degC");
  std::vector<std::vector<double>> rows;
  while (std::getline(lines, line)) {
    std::vector<double> row;
    std::istringstream cells(line);
    for (std::string c; std::getline(cells, c, ',');) row.push_back(std::stod(c));
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 7u) << history;  // 0, 10, .. 60 s
  for (size_t n = 0; n < rows.size(); ++n) EXPECT_EQ(rows[n][0], 10.0 * double(n));
  EXPECT_EQ(rows[2][1], 0.6);
  EXPECT_EQ(rows[6][1], 1.0);
  // The faster strand's shell leaves the mould thinner, its mould takes more heat.
  EXPECT_LT(rows[6][3], rows[2][3] - 2) << history;
  EXPECT_GT(rows[6][6], rows[2][6]);
  // The start is the strand the first run left, not liquid steel.
  EXPECT_LT(rows[0][7], 1300);
  // Steel that enters below the table's solidus is refused before a step.
  const std::string history_before = ReadFile("TeporaOut/History.csv");
  r = run("time_s,speed_m_min,casting_degC\n0,0.6,1550\n30,0.6,1400\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("error: Input/Schedule.csv: row 3, column casting_degC is 1400 degC; "
                       "expected a casting temperature above the table's solidus of "), npos) << r.err;
  r = run("time_s,speed_m_min,casting_degC\n0,0.6,1550\n30,0.6,1700\n");
  EXPECT_NE(r.err.find("row 3, column casting_degC is 1700 degC, outside the material table"), npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists("TeporaOut/History.csv"));
  r = run("time_s,speed_m_min,spray1_factor\n0,0.6,1\n20,0.6,1\n30,1,2\n60,1,2\n");
  EXPECT_EQ(ReadFile("TeporaOut/History.csv"), history_before);  // and again the same
  const nlohmann::json s = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"))["schedule"];
  EXPECT_EQ(s["casting_time_s"].get<double>(), 60.0);
  EXPECT_GT(s["real_time_factor"].get<double>(), 0.0);
  // The crater of this short strand ends beyond it (null); its pool's end is read.
  EXPECT_TRUE(std::isinf(rows[6][5]) ? s["latest_crater_end_m"].is_null()
                                     : s["latest_crater_end_m"].get<double>() >= rows[6][5])
      << history;
  double low = 1e9, when = -1;
  for (const auto& row : rows)
    if (row[7] < low) low = row[7], when = row[0];
  EXPECT_NEAR(s["point1_lowest_degC"].get<double>(), low, 1e-6);  // History.csv holds 10 digits
  EXPECT_EQ(s["point1_lowest_time_s"].get<double>(), when);
}

}  // namespace
