// Both programs end to end in a run directory: console, result files and
// exit statuses.
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "optimise.h"
#include "test_support.h"

namespace {

TEST(Programs, SimulatorRunsAndWritesItsResults) {
  RunDir dir;
  WriteSmallCase();
  Outcome r = Start(TEPORA_SIM);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("0          out of 20\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n Elapsed time is 0.0"), std::string::npos);
  for (const char* f : {"ConstM.mat", "ConstMorig.mat", "H_0.cub", "T_0_final.cub",
                        "TempProfile_final.mat"})
    EXPECT_TRUE(std::filesystem::exists(std::string("TeporaOut/") + f)) << f;
  EXPECT_NE(r.err.find("ControlPoints.mat"), std::string::npos);  // missing, only warned
  EXPECT_EQ(r.err.find("stability limit"), std::string::npos);
}

// Files saved on Windows, or with blank lines before and after the numbers,
// give the same run as plain ones.
TEST(Programs, ReadsWindowsLineEndsAndBlankLinesAroundTheNumbers) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 4}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  ASSERT_EQ(Start(TEPORA_OPT).status, 0);
  const std::string plain = ReadFile("TeporaOut/T_opt.cub");
  for (const char* name : {"Input/Interp.csv", "Input/NumSettings.txt", "Input/TechSettings.txt",
                           "Input/OptSettings.txt", "Input/ControlPoints.mat"}) {
    std::string text = "\r\n  \n";
    for (char c : ReadFile(name)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    RunDir::Write(name, text + " \r\n\r\n");
  }
  std::filesystem::remove_all("TeporaOut");
  std::filesystem::create_directory("TeporaOut");
  const Outcome r = Start(TEPORA_OPT);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile("TeporaOut/T_opt.cub"), plain);
}

TEST(Programs, StatusTellsAComputationStopFromAnUnwrittenResult) {
  RunDir dir;
  WriteSmallCase();
  // A time step far beyond the stability limit: warned at start, and the
  // temperatures leave the table within a few steps.
  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 60, 50}));
  Outcome r = Start(TEPORA_SIM);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 4 (time step, s) is 60 s, above the stability limit of about"),
            std::string::npos) << r.err;
  EXPECT_NE(r.err.find("lies outside the material table"), std::string::npos) << r.err;

  WriteSmallCase();
  std::filesystem::create_directory("TeporaOut/H_0.cub");  // cannot be replaced by a file
  r = Start(TEPORA_SIM);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("couldn't write; file: TeporaOut/H_0.cub"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists("TeporaOut/T_0_final.cub"));
  // a directory left as it was and the other results, no temporary file
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator("TeporaOut"))
    left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"ConstM.mat", "ConstMorig.mat", "H_0.cub", "Strand.csv",
                                         "Summary.json", "T_0_final.cub", "TempProfile_final.mat",
                                         "plot.log"}));
}

// Every file an optimiser run leaves (TeporaOut/ and the scratch files) and
// its console lines, sorted, without what tells the time taken: the elapsed
// time, the progress lines and the time column of the iteration table.
std::string EveryResult(const Outcome& r) {
  std::vector<std::string> names = {"T_old.cub", "Tf.vec"}, lines;
  for (const auto& f : std::filesystem::directory_iterator("TeporaOut"))
    names.push_back(f.path().string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + "\n" + ReadFile(name) + "\n";
  std::istringstream all(text + r.out + "\n" + r.err);
  bool timed = false;  // in the iteration table, whose last column is a time
  for (std::string line; std::getline(all, line);) {
    if (timed && !line.empty()) line = line.substr(0, line.find_last_of(' '));
    timed = (timed && !line.empty()) ||
            (line.size() > 6 && line.substr(line.size() - 6) == "time s");
    for (const char* clock : {"Elapsed", " s so far", "elapsed_s"})
      if (line.find(clock) != std::string::npos) line.clear();
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string every;
  for (const std::string& line : lines) every += line + "\n";
  std::filesystem::remove_all("TeporaOut");
  std::filesystem::create_directory("TeporaOut");
  return every;
}

// A small optimisation: 4 elements, one without a control point of its own.
void WriteSmallOptimisation() {
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 6, 0);
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 2, 4, 10}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 1.0 1500\n0.09 0.5 2.5 1480\n");
}

TEST(Programs, OptimiserGivesTheSameResultsOnAnyNumberOfThreads) {
  RunDir dir;
  WriteSmallOptimisation();
  for (const char* model : {"flat", "cylindrical"}) {
    std::string first;
    for (int threads : {1, 2, 3}) {
      SCOPED_TRACE(std::string(model) + " " + std::to_string(threads) + " threads");
      Outcome r = Start(TEPORA_OPT, threads, false, {"--model", model});
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_NE(r.err.find("element 2 holds no control point"), std::string::npos);
      const std::string results = EveryResult(r);
      if (threads == 1) first = results;
      EXPECT_TRUE(results == first);
    }
  }
}

#ifdef TEPORA_MPI
// Three ranks of two threads deal the pairs among them: every file and
// console line as on two threads of one process. A run that leaves the
// material table stops every rank, with one error line and status 1.
TEST(Programs, OptimiserGivesTheSameResultsOnAnyNumberOfRanks) {
  RunDir dir;
  WriteSmallOptimisation();
  const std::string expected = EveryResult(Start(TEPORA_OPT, 2));
  // One machine, started without a remote shell (the "isolated" launcher),
  // with the search path of the threaded run (no prefix of mpirun's own).
  const std::string mpirun = std::string(TEPORA_MPIEXEC) + " --oversubscribe --mca plm isolated " +
                             (geteuid() == 0 ? "--allow-run-as-root " : "") +
                             "--noprefix -n 3 \"$0\" \"$@\"";
  const Outcome r = Start("/bin/sh", 2, false, {"-c", mpirun, TEPORA_OPT, "--model", "flat"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string results = EveryResult(r);
  const auto at = std::mismatch(results.begin(), results.end(), expected.begin()).first;
  EXPECT_TRUE(results == expected) << "from: " << results.substr(at - results.begin(), 300);

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 60, 0}));
  const Outcome bad = Start("/bin/sh", 2, false, {"-c", mpirun, TEPORA_OPT, "--model", "flat"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("lies outside the material table"), std::string::npos) << bad.err;
  size_t errors = 0;
  for (size_t at = bad.err.find("error: "); at != std::string::npos; at = bad.err.find("error: ", at + 1))
    ++errors;
  EXPECT_EQ(errors, 1u) << bad.err;
}
#endif

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
  EXPECT_NE(r.out.find("[[spray]] entries are not used"), std::string::npos);
  EXPECT_NE(r.out.find("z = 0 .. 2.4 m"), std::string::npos) << r.out;  // element 1
  const std::string sprays = ReadFile("TeporaOut/OptimalSprays.toml");
  EXPECT_NE(sprays.find("[[spray]]   # element 1\nfrom_m = 0.8\nto_m = 2.5\n"), std::string::npos)
      << sprays;
  EXPECT_NE(sprays.find("to_m = 5.5\n"), std::string::npos) << sprays;
  RunDir::Write("Input/Caster.toml", base + sprays);
  r = Start(TEPORA_SIM);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("point 3 at r 0.09 m, phi 0.5 rad, z 5 m: "), std::string::npos);
}

// A grid too narrow for the case: the report holds every element and point,
// and says that the htcs sit at the grid's bound, that a second point in an
// element is not scored, that the search has not converged and that a point
// lies in the mould.
TEST(Programs, OptimiserReportTellsWhenItsHtcsAreNotToBeTrusted) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 6, 0);
  RunDir::Write("Input/OptSettings.txt", Lines({100, 200, 100, 2, 3, 10}));
  RunDir::Write("Input/ControlPoints.mat",
                "0.09 0.5 0.5 900\n0.09 0.5 1.5 900\n0.09 0.5 3.5 900\n0.09 0.5 5 900\n");
  RunDir::Write("Input/Caster.toml", "[air]\nfrom_m = 5.8\n");
  const Outcome r = Start(TEPORA_OPT, 2, false, {});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* warning :
       {"warning: element 1: its htc 200 W/(m2 K) is the highest candidate; the optimum may lie "
        "outside the grid",
        "warning: element 1 holds 2 control points; it is scored at point 2 only, point(s) 1",
        "warning: not converged: the last iteration still moved htcs by ",
        "warning: Input/ControlPoints.mat: point 1 lies in the mould"})
    EXPECT_NE(r.err.find(warning), std::string::npos) << warning << "\n" << r.err;
  const auto report = nlohmann::json::parse(ReadFile("TeporaOut/OptReport.json"));
  cube T;
  ASSERT_TRUE(T.load("TeporaOut/T_opt.cub", arma_ascii));
  ASSERT_EQ(report["control_points"].size(), 4u);
  EXPECT_EQ(report["control_points"][3]["temperature_degC"].get<double>(),
            T(uword(GridIndex(0.09, 0.02)), 0, uword(GridIndex(5, 0.1))));
  EXPECT_EQ(report["elements"].size(), 3u);
  EXPECT_EQ(report["elements"][0]["htc_W_m2K"].get<double>(), 200);
  EXPECT_EQ(report["iterations"].size(), 2u);
  EXPECT_NE(r.out.find("Iteration 2 of 2 done"), std::string::npos);
}

// The simulator splits the slices of every step across threads: on a grid
// large enough to be split, every file and console line is the same on 1, 2
// and 3 threads, for both time steps, and a run that leaves the material
// table stops with the same message.
TEST(Programs, SimulatorGivesTheSameResultsOnAnyNumberOfThreads) {
  RunDir dir;
  for (double dtau : {0.5, 60.0}) {
    for (const char* model : {"cylindrical", "flat"}) {
      SCOPED_TRACE(std::string(model) + " dtau " + std::to_string(dtau));
      WriteSmallCase(0.01, 0.1, 0.25, 0.1, 15, 0);  // 10 x 8 x 150 cells
      RunDir::Write("Input/NumSettings.txt", Lines({0.01, 0.1, 0.25, dtau, 30}));
      std::string first;
      for (int threads : {1, 2, 3}) {
        const Outcome r = Start(TEPORA_SIM, threads, false, {"--model", model});
        ASSERT_EQ(r.status, dtau < 1 ? 0 : 1) << r.err;
        std::string results = r.out.substr(0, r.out.rfind("Elapsed")) + r.err;
        for (const char* f : {"H_0.cub", "T_0_final.cub", "TempProfile_final.mat"})
          results += ReadFile(std::string("TeporaOut/") + f);
        if (threads == 1) first = results;
        EXPECT_EQ(results, first) << threads << " threads";
        std::filesystem::remove_all("TeporaOut");
        std::filesystem::create_directory("TeporaOut");
      }
    }
  }
}

// The command line: help and version print and end, a bad argument gets one
// line and status 2, and none of them touches TeporaOut; -C runs elsewhere.
TEST(Programs, CommandLine) {
  RunDir dir;
  WriteSmallCase();
  struct Call {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // what each holds
  };
  for (const std::string name : {"tepora-sim", "tepora-opt"}) {
    const Call calls[] = {{{"--help"}, 0, "Usage: " + name + " [OPTIONS]", ""},
                          {{"--version"}, 0, name + " 0.", ""},
                          {{"--model", "flat", "--bogus"}, 2, "", "--bogus; usage: " + name},
                          {{"--model", "round"}, 2, "", "round not in {cylindrical,flat}"},
                          {{"-C"}, 2, "", "-C: 1 required DIR missing"},
                          {{"-C", "nowhere"}, 2, "", "-C nowhere: cannot change into it"}};
    for (const Call& c : calls) {
      SCOPED_TRACE(name + " " + c.args.back());
      const Outcome r = Start((name == "tepora-sim" ? TEPORA_SIM : TEPORA_OPT), 1, false, c.args);
      EXPECT_EQ(r.status, c.status);
      EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
      EXPECT_EQ(r.err.empty() ? 0 : std::count(r.err.begin(), r.err.end(), '\n'), c.status ? 1 : 0);
      EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
      EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));
    }
  }
  std::filesystem::create_directories("elsewhere/TeporaOut");
  std::filesystem::copy("Input", "elsewhere/Input");
  const Outcome r = Start(TEPORA_SIM, 1, false, {"-C", "elsewhere", "--model", "flat"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists("elsewhere/TeporaOut/T_0_final.cub"));
  EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));
}

// Zero iterations assemble the starting strand and print the starting htcs
// (zeros); zero element steps leave every candidate's field as it was, so
// the lowest htc wins. Either way the results are written, status 0, and one
// warning line says the printed htcs were not searched.
TEST(Programs, OptimiserWithoutIterationsOrElementSteps) {
  struct Case {
    const char* settings;
    bool elements_run;
    double htc;
    const char* warning;
  };
  const Case cases[] = {
      {"300\n900\n300\n0\n4\n4\n", false, 0, "line 4 (number of iterations) is 0: no iteration"},
      {"300\n900\n300\n2\n4\n0\n", true, 300, "line 6 (time steps of an element simulation) is 0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    RunDir dir;
    WriteSmallCase();
    RunDir::Write("Input/OptSettings.txt", c.settings);
    RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
    const Outcome r = Start(TEPORA_OPT);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("PHA iteration") != std::string::npos, c.elements_run);
    std::istringstream htcs(r.out.substr(r.out.find("Optimal htcs are: \n") + 19));
    double htc;
    for (int e = 0; e < 4; ++e) EXPECT_TRUE(htcs >> htc && htc == c.htc) << r.out;
    EXPECT_NE(r.err.find("warning: Input/OptSettings.txt: " + std::string(c.warning)),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the htcs printed were not searched\n"), std::string::npos);
    cube T;
    ASSERT_TRUE(T.load("TeporaOut/T_opt.cub", arma_ascii));
    EXPECT_TRUE(all(vectorise(T) == 1550.0));  // the starting strand, unchanged
    EXPECT_TRUE(std::filesystem::exists("TeporaOut/Profile.mat"));
    EXPECT_EQ(std::filesystem::exists("TeporaOut/T_0.cub"), c.elements_run);
    EXPECT_EQ(std::filesystem::exists("T_old.cub"), c.elements_run);
  }
}

// The optimiser keeps scratch files in the working directory: one it may not
// write into is bad input, found before anything is computed; a scratch file
// that cannot be replaced is reported once, not once per candidate.
TEST(Programs, OptimiserScratchFiles) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 4}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n");
  RunDir::Write("out.txt", "");
  RunDir::Write("err.txt", "");
  chmod("out.txt", 0666);
  chmod("err.txt", 0666);
  chmod("TeporaOut", 0777);
  chmod(dir.path().c_str(), 0555);
  Outcome r = Start(TEPORA_OPT, 1, true);
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("error: the working directory is not writable;", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));

  std::filesystem::create_directory("T_old.cub");
  r = Start(TEPORA_OPT, 2);
  EXPECT_EQ(r.status, 3);
  const std::string warning = "Cube::save(): couldn't write; file: T_old.cub\n";
  EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(warning), r.err.rfind(warning)) << r.err;
}

}  // namespace
