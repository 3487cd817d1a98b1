// Both programs end to end in a run directory: console, result files and
// exit statuses.
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "optimise/optimise.h"
#include "test_support.h"

using namespace tepora;

namespace {

// Every result file and console line of a run, sorted, without timings.
std::string EveryResult(const Outcome& r) {
  std::vector<std::string> names = {"T_old.cub", "Tf.vec"}, lines;
  for (const auto& f : std::filesystem::directory_iterator("TeporaOut"))
    names.push_back(f.path().string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + "\n" + ReadFile(name) + "\n";
  std::istringstream all(text + r.out + "\n" + r.err);
  for (std::string line; std::getline(all, line);) {
    for (const char* clock : {"Elapsed", " s so far"})
      if (line.find(clock) != npos) line.clear();
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string every;
  for (const std::string& line : lines) every += line + "\n";
  ClearResults();
  return every;
}

// A small optimisation on a grid too narrow for it: 4 elements, the first
// holding two control points, one of them in the mould, the second none.
void WriteSmallOptimisation() {
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 6, 0);
  RunDir::Write("Input/OptSettings.txt", Lines({100, 200, 100, 2, 4, 10}));
  RunDir::Write("Input/ControlPoints.mat",
                "0.09 0.5 0.5 900\n0.09 0.5 1.5 900\n0.09 0.5 3.5 900\n0.09 0.5 5 900\n");
  RunDir::Write("Input/Caster.toml", "[air]\nfrom_m = 5.8\n");
}

// The same files and console on 1, 2 and 3 threads under either step, and
// every doubt about the result warned of.
TEST(Programs, OptimiserGivesTheSameResultsOnAnyNumberOfThreadsAndReportsDoubts) {
  RunDir dir;
  WriteSmallOptimisation();
  for (const std::vector<std::string>& args : {kFlat, std::vector<std::string>()}) {
    std::string first;
    for (int threads : {1, 2, 3}) {
      SCOPED_TRACE((args.empty() ? "cylindrical, " : "flat, ") + std::to_string(threads));
      const Outcome r = Start(TEPORA_OPT, threads, false, args);
      ASSERT_EQ(r.status, 0) << r.err;
      for (const char* warning :
           {"warning: element 3: its htc 200 W/(m2 K) is the highest candidate; the optimum may "
            "lie outside the grid",
            "warning: element 1 holds 2 control points; it is scored at point 2 only, point(s) 1",
            "warning: element 2 holds no control point; it is scored at the indices of point 1",
            "warning: not converged: the last iteration still moved htcs by ",
            "warning: Input/ControlPoints.mat: point 1 lies in the mould",
            "warning: Input/OptSettings.txt: line 6 (time steps of an element simulation) is 10, "
            "which simulates 5 s, shorter than the 120 s the steel takes through an element of "
            "2.4 m at 1.2 m/min; expected at least 240 steps\n"})
        EXPECT_NE(r.err.find(warning), npos) << warning << "\n" << r.err;
      const auto report = nlohmann::json::parse(ReadFile("TeporaOut/OptReport.json"));
      cube T;
      ASSERT_TRUE(T.load("TeporaOut/T_opt.cub", arma_ascii));
      ASSERT_EQ(report["control_points"].size(), 4u);
      // Point 4 at the outer ring's centre: the cylindrical step reads the surface.
      const double read = report["control_points"][3]["temperature_degC"].get<double>();
      const double cell = T(uword(GridIndex(0.09, 0.02)), 0, uword(GridIndex(5, 0.1)));
      if (args.empty())
        EXPECT_LT(read, cell - 10);
      else
        EXPECT_EQ(read, cell);
      EXPECT_EQ(report["elements"].size(), 4u);
      EXPECT_EQ(report["elements"][2]["htc_W_m2K"].get<double>(), 200);
      EXPECT_EQ(report["iterations"].size(), 2u);
      EXPECT_NE(r.out.find("Iteration 2 of 2 done"), npos);
      const std::string results = EveryResult(r);
      if (threads == 1) first = results;
      EXPECT_TRUE(results == first);
    }
  }
}

#ifdef TEPORA_MPI
// Three ranks of two threads give two threads' results; a failure stops
// every rank with one error line and status 1.
TEST(Programs, OptimiserGivesTheSameResultsOnAnyNumberOfRanks) {
  RunDir dir;
  WriteSmallOptimisation();
  const std::string expected = EveryResult(Start(TEPORA_OPT, 2));
  // One machine, no remote shell, the threaded run's search path.
  const std::string mpirun = std::string(TEPORA_MPIEXEC) + " --oversubscribe --mca plm isolated " +
                             (geteuid() == 0 ? "--allow-run-as-root " : "") +
                             "--noprefix -n 3 \"$0\" \"$@\"";
  const Outcome r = Start("/bin/sh", 2, false, {"-c", mpirun, TEPORA_OPT, "--model", "flat"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectSame(EveryResult(r), expected);

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 60, 0}));
  const Outcome bad = Start("/bin/sh", 2, false, {"-c", mpirun, TEPORA_OPT, "--model", "flat"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("lies outside the material table"), npos) << bad.err;
  EXPECT_EQ(bad.err.find("error: "), bad.err.rfind("error: ")) << bad.err;  // one error line
}
#endif

// A case file of the built-in zones changes nothing; 12.8 - 7.8 m of air is
// 5.000000000000001 m in binary, which once moved an element's air cooling.
TEST(Programs, ACasterFileStatingTheBuiltInZonesGivesTheSameResults) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 12.8, 30);
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 10}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 3 1300\n0.09 0.5 6 1200\n0.09 0.5 9 1100\n");
  const std::string builtin = "[mould]\nlength_m = 1.0\nhtc_W_m2K = 2000\ncoolant_degC = 80\n"
                              "[air]\nfrom_m = 7.8\n";
  for (const char* program : {TEPORA_SIM, TEPORA_OPT})
    for (const std::vector<std::string>& args : {kFlat, std::vector<std::string>()}) {
      SCOPED_TRACE(std::string(program) + (args.empty() ? " cylindrical" : " flat"));
      std::filesystem::remove("Input/Caster.toml");
      const Outcome without = Start(program, 1, false, args);
      ASSERT_EQ(without.status, 0) << without.err;
      const std::string expected = EveryResult(without);
      RunDir::Write("Input/Caster.toml", builtin);
      const Outcome with = Start(program, 1, false, args);
      ASSERT_EQ(with.status, 0) << with.err;
      ExpectSame(EveryResult(with), expected);
    }
}

// The htcs the optimiser finds come out as spray zones that the simulator
// takes as they stand: optimise, put them into the case file, simulate.
TEST(Programs, OptimalSpraysRunAgainInTheSimulator) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 6, 60);
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 10}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 1.5 1400\n0.09 0.5 3.5 1300\n0.09 0.5 5 1200\n");
  const std::string base = "[mould]\nlength_m = 0.8\nhtc_W_m2K = 1200\ncoolant_degC = 35\n"
                           "[air]\nfrom_m = 5.5\n";
  RunDir::Write("Input/Caster.toml", base + "[[spray]]\nfrom_m = 1\nto_m = 2\nhtc_W_m2K = 1\n");
  Outcome r = Start(TEPORA_OPT);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("[[spray]] entries are not used"), npos);
  EXPECT_NE(r.out.find("z = 0 .. 2.4 m"), npos) << r.out;  // element 1
  const std::string sprays = ReadFile("TeporaOut/OptimalSprays.toml");
  EXPECT_NE(sprays.find("[[spray]]   # element 1\nfrom_m = 0.8\nto_m = 2.5\n"), npos) << sprays;
  EXPECT_NE(sprays.find("to_m = 5.5\n"), npos) << sprays;
  RunDir::Write("Input/Caster.toml", base + sprays);
  r = Start(TEPORA_SIM);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("point 3 at r 0.09 m, phi 0.5 rad, z 5 m: "), npos);
}

// The same simulator results on 1, 2 and 3 threads for both steps; an
// unstable step is warned of and ends with status 1 off the table.
TEST(Programs, SimulatorGivesTheSameResultsOnAnyNumberOfThreads) {
  RunDir dir;
  WriteSmallCase(0.01, 0.1, 0.25, 0.1, 15, 0);  // 10 x 8 x 150 cells
  for (double dtau : {0.5, 60.0}) {
    for (const char* model : {"cylindrical", "flat"}) {
      SCOPED_TRACE(std::string(model) + " dtau " + std::to_string(dtau));
      RunDir::Write("Input/NumSettings.txt", Lines({0.01, 0.1, 0.25, dtau, 30}));
      std::string first;
      for (int threads : {1, 2, 3}) {
        const Outcome r = Start(TEPORA_SIM, threads, false, {"--model", model});
        ASSERT_EQ(r.status, dtau < 1 ? 0 : 1) << r.err;
        EXPECT_EQ(r.err.find("line 4 (time step, s) is 60 s, above the stability limit of") != npos,
                  dtau > 1) << r.err;
        EXPECT_EQ(r.err.find("lies outside the material table") != npos, dtau > 1) << r.err;
        std::string results = r.out.substr(0, r.out.rfind("Elapsed")) + r.err;
        for (const char* f : {"H_0.cub", "T_0_final.cub", "TempProfile_final.mat"})
          results += ReadFile(std::string("TeporaOut/") + f);
        if (threads == 1) first = results;
        EXPECT_EQ(results, first) << threads << " threads";
        ClearResults();
      }
    }
  }
}

// Help, version and bad arguments (one line, status 2) leave TeporaOut alone;
// -C runs elsewhere; one unwritable result gives status 3, the rest written.
TEST(Programs, CommandLineAndExitStatuses) {
  RunDir dir;
  WriteSmallCase();
  for (const std::string name : {"tepora-sim", "tepora-opt"}) {
    const struct {
      std::vector<std::string> args;
      int status;
      std::string out, err;  // what each holds
    } calls[] = {{{"--help"}, 0, name + (name == "tepora-sim" ? ": simulates" : ": designs"), ""},
                 {{"--help"}, 0, "Usage: " + name + " [OPTIONS]", ""},
                 {{"--version"}, 0, name + " 0.", ""},
                 {{"--model", "flat", "--bogus"}, 2, "", "--bogus; usage: " + name},
                 {{"--model", "round"}, 2, "", "round not in {cylindrical,flat}"},
                 {{"--plot-range", "1550,900"}, 2, "", "expected the lower temperature first"},
                 {{"-C"}, 2, "", "-C: 1 required DIR missing"},
                 {{"-C", "nowhere"}, 2, "", "-C nowhere: cannot change into it"}};
    for (const auto& c : calls) {
      SCOPED_TRACE(name + " " + c.args.back());
      const Outcome r = Start((name == "tepora-sim" ? TEPORA_SIM : TEPORA_OPT), 1, false, c.args);
      EXPECT_EQ(r.status, c.status);
      EXPECT_NE(r.out.find(c.out), npos) << r.out;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status ? 1 : 0) << r.err;
      EXPECT_EQ(r.err.rfind(c.status ? "error: " : "", 0), 0u) << r.err;
      EXPECT_NE(r.err.find(c.err), npos) << r.err;
      EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));
    }
  }
  std::filesystem::create_directories("elsewhere/TeporaOut");
  std::filesystem::copy("Input", "elsewhere/Input");
  Outcome r = Start(TEPORA_SIM, 1, false, {"-C", "elsewhere", "--model", "flat"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("0          out of 20\n"), npos);
  EXPECT_NE(r.out.find("\n Elapsed time is 0.0"), npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 10), " minutes.\n");
  EXPECT_TRUE(std::filesystem::exists("elsewhere/TeporaOut/T_0_final.cub"));
  EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));

  std::filesystem::create_directory("TeporaOut/H_0.cub");  // cannot be replaced by a file
  r = Start(TEPORA_SIM);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("couldn't write; file: TeporaOut/H_0.cub"), npos);
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator("TeporaOut"))
    left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"ConstM.mat", "ConstMorig.mat", "H_0.cub", "Strand.csv",
                                         "Summary.json", "T_0_final.cub",
                                         "TempProfile_final.mat"}));
}

// Unwritable working directory refused, CR LF read as plain, unsearched htcs
// warned of, an unreplaceable scratch file reported once with status 3.
TEST(Programs, OptimiserOnASmallCase) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 4}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  for (const char* console : {"out.txt", "err.txt"})  // for the other user's run
    RunDir::Write(console, ""), chmod(console, 0666);
  chmod("TeporaOut", 0777);
  chmod(dir.path().c_str(), 0555);
  Outcome r = Start(TEPORA_OPT, 1, true);
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("error: the working directory is not writable;", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));

  ASSERT_EQ(Start(TEPORA_OPT).status, 0);
  const std::string plain = ReadFile("TeporaOut/T_opt.cub");
  for (const char* name : {"Input/Interp.csv", "Input/NumSettings.txt", "Input/TechSettings.txt",
                           "Input/OptSettings.txt", "Input/ControlPoints.mat"}) {
    std::string text = "\r\n  \n";
    for (char c : ReadFile(name)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    RunDir::Write(name, text + " \r\n\r\n");
  }
  std::filesystem::remove("TeporaOut/T_opt.cub");
  r = Start(TEPORA_OPT);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile("TeporaOut/T_opt.cub"), plain);

  const std::string unsearched[][2] = {
      {"300\n900\n300\n0\n4\n4\n", "line 4 (number of iterations) is 0: no iteration ran; "},
      {"300\n900\n300\n2\n4\n0\n",
       "line 6 (time steps of an element simulation) is 0: no candidate htc acted on an element, "
       "so every element kept the lowest; "}};
  for (const auto& c : unsearched) {
    RunDir::Write("Input/OptSettings.txt", c[0]);
    std::filesystem::remove("TeporaOut/T_opt.cub");
    r = Start(TEPORA_OPT);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists("TeporaOut/T_opt.cub"));
    EXPECT_NE(r.err.find("warning: Input/OptSettings.txt: " + c[1] +
                         "the htcs printed were not searched\n"), npos) << r.err;
  }

  std::filesystem::remove("T_old.cub");
  std::filesystem::create_directory("T_old.cub");  // cannot be replaced by a file
  r = Start(TEPORA_OPT, 2);
  EXPECT_EQ(r.status, 3);
  const std::string warning = "Cube::save(): couldn't write; file: T_old.cub\n";
  EXPECT_NE(r.err.find(warning), npos) << r.err;
  EXPECT_EQ(r.err.find(warning), r.err.rfind(warning)) << r.err;
}

}  // namespace
