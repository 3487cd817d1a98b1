// The process around a run: console descriptors, a file-size limit, the
// viewer, stopped runs, thread count and stack.
#include <signal.h>

#include "apps/program_start.h"
#include "test_support.h"

using namespace tepora;

namespace {

// Runs `line` in the shell, where kExec starts the program (flat step).
const std::string kExec = "exec \"$0\" \"$@\"";
std::vector<std::string> ShellArgs(const std::string& line, const char* program) {
  return {"-c", line, program, kFlat[0], kFlat[1]};
}

// A closed console descriptor is opened on /dev/null, so no result's
// temporary takes its number.
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

// A closed console is no fault; a full one, or a file-size limit, status 3.
TEST(Process, ConsoleAndFileSizeFaultsEndWithTheirStatus) {
  const struct {
    std::string line;  // the shell line that starts the simulator
    int status;
    std::string err;  // a line on standard error
    size_t errors;    // lines that start with "error:"
  } cases[] = {{kExec + " >&-", 0, "", 0},
               {kExec + " >/dev/full", 3, "error: standard output could not be written;", 1},
               {"ulimit -f 8; " + kExec, 3,
                "\nwarning: Mat::save(): couldn't write; file: TeporaOut/ConstM.mat\n", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    RunDir dir;
    WriteSmallCase();
    RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n");
    const Outcome r = Start("/bin/sh", 1, false, ShellArgs(c.line, TEPORA_SIM));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(("\n" + r.err).find(c.err), npos) << r.err;
    size_t errors = r.err.rfind("error:", 0) == 0;
    for (size_t at = 0; (at = r.err.find("\nerror:", at)) != npos; ++at) ++errors;
    EXPECT_EQ(errors, c.errors) << r.err;
  }
}

// A fake Octave running `octave`, first on the path of lines with kPath.
const std::string kPath = "PATH=$PWD/bin:$PATH ";
void FakeOctave(const std::string& octave) {
  std::filesystem::create_directories("bin");
  RunDir::Write("bin/octave", "#!/bin/sh\n" + octave);
  std::filesystem::permissions("bin/octave", std::filesystem::perms::owner_all);
  RunDir::Write("TeporaOut/visualiseF.m", "% read by the fake only\n");
}

// True once the fake viewer's sleeper has ended (or is a zombie), false
// while it still runs after 30 s.
bool SleeperEnds(const std::string& pid) {
  const std::string stat = "/proc/" + std::to_string(std::stoi(pid)) + "/stat";
  return WaitFor([&] {
    const std::string s = ReadFile(stat);
    return s.find("(sleep)") == npos || s.find(") Z ") != npos;
  }, 30);
}

// The viewer writes into a plot.log made anew over a planted link, gets
// --plot-range, and is warned of once when it fails, hangs (stopped with its
// children) or has no script; --no-plot starts none and says nothing.
TEST(Process, TheViewerWritesIntoThePlotLogAndIsStoppedWhenItHangs) {
  RunDir dir;
  WriteSmallCase();
  const auto sim = [](const std::string& octave, const std::string& line) {
    FakeOctave(octave);
    return Start("/bin/sh", 1, false, ShellArgs(kPath + line, TEPORA_SIM));
  };
  const auto warned_once = [](const Outcome& r, const std::string& warning) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(warning + "\n"), npos) << r.err;
    EXPECT_EQ(r.err.find("the plot"), r.err.rfind("the plot")) << r.err;
  };
  const std::string failed =
      "warning: the plot TeporaOut/TempProfile_final.png could not be made; see "
      "TeporaOut/plot.log";
  RunDir::Write("precious.txt", "not a log\n");
  std::filesystem::create_symlink("../precious.txt", "TeporaOut/plot.log");
  Outcome r = sim("echo \"$3\"; echo png > TempProfile_final.png; echo 'octave: on stderr' >&2\n",
                  "TEPORA_VIEWER_TIMEOUT=1x " + kExec + " --plot-range 900,1550.5");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: TEPORA_VIEWER_TIMEOUT is '1x', expected a positive number of "
                       "seconds; the viewer gets 60 s\n"), npos) << r.err;
  EXPECT_EQ(r.err.find("plot"), npos) << r.err;
  EXPECT_EQ(ReadFile("precious.txt"), "not a log\n");
  EXPECT_FALSE(std::filesystem::is_symlink("TeporaOut/plot.log"));
  std::string log = ReadFile("TeporaOut/plot.log");
  EXPECT_NE(log.find("\nvisualiseF('TempProfile_final.mat', [900 1550.5])\noctave: on stderr\n"),
            npos) << log;

  warned_once(sim("echo \"error: 'visualiseF' undefined\" >&2; exit 1\n", kExec), failed);
  log = ReadFile("TeporaOut/plot.log");
  EXPECT_EQ(log.find("[900"), npos) << log;
  EXPECT_NE(log.find("undefined\ntepora: no plot: the viewer ended with status 1 without"), npos)
      << log;

  const auto t0 = std::chrono::steady_clock::now();
  warned_once(sim("/bin/sleep 1000 &\necho $! > ../sleeper.pid\nwait\n",
                  "TEPORA_VIEWER_TIMEOUT=1 " + kExec),
              failed);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20);
  log = ReadFile("TeporaOut/plot.log");
  EXPECT_NE(log.find("did not finish in 1 s"), npos);
  // On a loaded machine the viewer may be stopped before it starts its child.
  const std::string pid = ReadFile("sleeper.pid");
  if (pid.find_first_of("0123456789") != npos) {
    EXPECT_TRUE(SleeperEnds(pid)) << pid;
  }

  for (const std::string& line : {kExec, kExec + " --no-plot"}) {
    FakeOctave("echo started > ../started\n");
    if (line == kExec) std::filesystem::remove("TeporaOut/visualiseF.m");
    r = Start("/bin/sh", 1, false, ShellArgs(kPath + line, TEPORA_SIM));
    EXPECT_FALSE(std::filesystem::exists("started")) << line;
    if (line == kExec)
      warned_once(r, NoPlotWarning("TempProfile_final.png"));
    else
      EXPECT_EQ(r.err.find("plot"), npos) << r.err;
    EXPECT_EQ(ReadFile("TeporaOut/plot.log"), log);
  }
}

// A run's first progress line reaches its console file while it computes;
// SIGTERM or SIGINT during the viewer ends the viewer's group and is logged.
TEST(Process, StoppedRunsKeepTheirProgressAndEndTheirViewers) {
  RunDir dir;
  WriteSmallCase(0.005, 0.025, 0.05, 0.1, 5.0, 10000000);  // 20 x 40 x 200 cells, hours of steps
  pid_t run = Launch(TEPORA_SIM);
  bool computing = true;
  EXPECT_TRUE(WaitFor([&] {
    computing = waitpid(run, nullptr, WNOHANG) == 0;
    return !computing || ReadFile("out.txt").find("0          out of 10000000\n") != npos;
  }, 60) && computing) << ReadFile("out.txt");
  if (computing) {
    kill(run, SIGKILL);
    Finish(run);
  }

  WriteSmallCase();
  FakeOctave("/bin/sleep 1000 &\necho $! > ../sleeper.pid\nwait\n");
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    signal(sig, SIG_DFL);  // a run started with a signal ignored keeps ignoring it
    std::filesystem::remove("sleeper.pid");
    run = Launch("/bin/sh", 1, false, ShellArgs(kPath + kExec, TEPORA_SIM));
    std::string pid;
    ASSERT_TRUE(WaitFor([&] { return (pid = ReadFile("sleeper.pid")).find('\n') != npos; }, 60))
        << "the viewer did not start";
    kill(run, sig);
    const Outcome r = Finish(run);
    EXPECT_EQ(r.signal, sig) << r.status << r.err;
    EXPECT_TRUE(SleeperEnds(pid)) << pid;
    const std::string stopped = sig == SIGTERM ? "SIGTERM\n" : "SIGINT\n";
    EXPECT_NE(ReadFile("TeporaOut/plot.log").find("\ntepora: no plot: the run was stopped by " +
                                                  stopped), npos);
  }
}

// An impossible thread count is refused; worker stacks too small to unwind
// a failing candidate are raised, so the failure is reported.
TEST(Process, ThreadCountAndStacks) {
  RunDir dir;
  WriteSmallCase();
  RunDir::Write("Input/OptSettings.txt", Lines({300, 900, 300, 1, 3, 4}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  Outcome r = Start(TEPORA_OPT, 100000);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find("error: the optimiser's 100000 threads (OMP_NUM_THREADS=100000) need"), 0u)
      << r.err;

  RunDir::Write("Input/NumSettings.txt", Lines({0.02, 0.1, 0.25, 60, 20}));  // far from stable
  for (const char* stack : {"16K", "+1K", " 2048 b"}) {
    r = Start("/bin/sh", 2, false,
              ShellArgs("OMP_STACKSIZE='" + std::string(stack) + "' " + kExec, TEPORA_OPT));
    EXPECT_EQ(r.signal, 0) << stack;
    EXPECT_EQ(r.status, 1) << stack << r.err;
    EXPECT_NE(r.err.find("lies outside the material table"), npos) << r.err;
  }
}

}  // namespace
