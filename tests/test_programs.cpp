// Both programs end to end in a run directory: console, result files and
// exit statuses.
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
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("TeporaOut"), {}), 5);
}

TEST(Programs, OptimiserGivesTheSameResultsOnAnyNumberOfThreads) {
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 6, 0);
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 2, 4, 10}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 0.5 1.0 1500\n0.09 0.5 2.5 1480\n");
  std::string first;
  for (int threads : {1, 2, 3}) {
    Outcome r = Start(TEPORA_OPT, threads);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("element 2 holds no control point"), std::string::npos);
    const std::string results = ReadFile("TeporaOut/T_opt.cub") +
                                ReadFile("TeporaOut/Profile.mat") +
                                r.out.substr(r.out.find("Optimal htcs are: \n"));
    if (threads == 1) first = results;
    EXPECT_EQ(results.substr(0, results.rfind("Elapsed")), first.substr(0, first.rfind("Elapsed")));
  }
}

}  // namespace
