// The process around a run, end to end: closed or failing console
// descriptors, a file-size limit, a hanging viewer, thread count and stack.
#include <algorithm>
#include <chrono>

#include "program_start.h"
#include "test_support.h"

namespace {

// Start-up opens a closed console descriptor on /dev/null, so that no file
// opened later (a result's temporary) takes its number and its lines.
TEST(Process, StartUpReopensClosedConsoleDescriptors) {
  for (int closed : {0, 1, 2}) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(closed);
      PrepareProcess();
      _exit(open("/dev/zero", O_RDONLY) > 2 ? 0 : 1);
    }
    int rc = 0;
    waitpid(pid, &rc, 0);
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << "descriptor " << closed;
  }
}

// The console on a closed descriptor is no fault; on a full device the
// lost lines give status 3 and one error; a file-size limit fails writes
// (status 3) instead of killing the run.
TEST(Process, ConsoleAndFileSizeFaultsEndWithTheirStatus) {
  struct Case {
    std::string line;  // the shell line that starts the simulator
    int status;
    std::string err;  // a line on standard error
    int errors;       // lines that start with "error:"
  };
  const Case cases[] = {
      {kExec + " >&-", 0, "", 0},
      {kExec + " >/dev/full", 3, "error: standard output could not be written;", 1},
      {"ulimit -f 8; " + kExec, 3,
       "\nwarning: Mat::save(): couldn't write; file: TeporaOut/ConstM.mat\n", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RunDir dir;
    WriteSmallCase();
    RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n");
    const Outcome r = Start("/bin/sh", 1, false, ShellArgs(c.line, TEPORA_SIM));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(("\n" + r.err).find(c.err), std::string::npos) << r.err;
    size_t errors = r.err.rfind("error:", 0) == 0;
    for (size_t at = 0; (at = r.err.find("\nerror:", at)) != std::string::npos; ++at) ++errors;
    EXPECT_EQ(errors, size_t(c.errors)) << r.err;
  }
}

// A viewer that never ends is stopped with its children after the time
// limit; the run ends with its results and one warning.
TEST(Process, AHangingViewerIsStopped) {
  RunDir dir;
  WriteSmallCase();
  std::filesystem::create_directory("bin");
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n");
  RunDir::Write("bin/octave", "#!/bin/sh\n/bin/sleep 1000 &\necho $! > ../sleeper.pid\nwait\n");
  std::filesystem::permissions("bin/octave", std::filesystem::perms::owner_all);
  const auto t0 = std::chrono::steady_clock::now();
  const Outcome r =
      Finish(Launch("/bin/sh", 1, false,
                    ShellArgs("PATH=$PWD/bin:$PATH TEPORA_VIEWER_TIMEOUT=1 " + kExec, TEPORA_SIM)),
             30);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string warning = NoPlotWarning("TempProfile_final.png") + "\n";
  EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("the plot"), r.err.rfind("the plot")) << r.err;  // warned once
  EXPECT_NE(ReadFile("TeporaOut/plot.log").find("did not finish in 1 s"), std::string::npos);
  // The viewer's own child is gone (or a zombie no one has reaped yet); on a
  // loaded machine the viewer may be stopped before it starts the child.
  const std::string pid = ReadFile("sleeper.pid");
  if (pid.find_first_of("0123456789") == std::string::npos) return;
  const std::string stat = ReadFile("/proc/" + std::to_string(std::stoi(pid)) + "/stat");
  EXPECT_TRUE(stat.empty() || stat.find(") Z ") != std::string::npos) << stat;
}

// The viewer's lines go to TeporaOut/plot.log, which each run replaces; the
// console warns once when no plot was written anew, also over an old one.
// --plot-range reaches visualiseF, and a bad range is refused at start.
TEST(Process, TheViewerWritesIntoThePlotLog) {
  RunDir dir;
  WriteSmallCase();
  std::filesystem::create_directory("bin");
  const auto octave = [](const std::string& body) {
    RunDir::Write("bin/octave", "#!/bin/sh\n" + body);
    std::filesystem::permissions("bin/octave", std::filesystem::perms::owner_all);
  };
  const auto sim = [](const std::string& args) {
    return Start("/bin/sh", 1, false,
                 ShellArgs("PATH=$PWD/bin:$PATH " + kExec + args, TEPORA_SIM));
  };
  // Plots, then ends with the noise of Octave 7's shutdown.
  octave("echo \"$3\"; echo png > TempProfile_final.png; echo 'error: ignoring' >&2\n");
  Outcome r = sim(" --plot-range 900,1550.5");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("plot"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
  std::string log = ReadFile("TeporaOut/plot.log");
  EXPECT_NE(log.find("\nvisualiseF('TempProfile_final.mat', [900 1550.5])\nerror: ignoring\n"),
            std::string::npos) << log;

  octave("echo \"error: 'visualiseF' undefined\" >&2; exit 1\n");  // the old PNG stays
  r = sim("");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string warning = NoPlotWarning("TempProfile_final.png") + "\n";
  EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("the plot"), r.err.rfind("the plot")) << r.err;
  log = ReadFile("TeporaOut/plot.log");
  EXPECT_EQ(log.find("[900"), std::string::npos) << log;
  EXPECT_NE(log.find("undefined\ntepora: no plot: the viewer ended with status 1 without"),
            std::string::npos) << log;

  r = sim(" --plot-range 1550,900");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("error: --plot-range: expected the lower temperature first", 0), 0u);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(ReadFile("TeporaOut/plot.log"), log);
}

// The optimiser's threads: a thread count no machine can hold is refused
// with a message that names it, and worker stacks set too small to unwind a
// candidate that stops are raised, so that the stop is reported.
TEST(Process, ThreadCountAndStacks) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 4}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  Outcome r = Start(TEPORA_OPT, 100000);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find("error: the optimiser's 100000 threads (OMP_NUM_THREADS=100000) need"), 0u)
      << r.err;
  EXPECT_TRUE(std::filesystem::is_empty("TeporaOut"));

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 60, 20}));  // far from stable
  for (const char* stack : {"16K", "+1K", " 2048 b"}) {
    r = Start("/bin/sh", 2, false,
              ShellArgs("OMP_STACKSIZE='" + std::string(stack) + "' " + kExec, TEPORA_OPT));
    EXPECT_EQ(r.signal, 0) << stack;
    EXPECT_EQ(r.status, 1) << stack << r.err;
    EXPECT_NE(r.err.find("lies outside the material table"), std::string::npos) << r.err;
  }
}

}  // namespace
