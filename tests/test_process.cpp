// The process around a run, end to end: closed or failing console
// descriptors, a file-size limit, the viewer, thread count and stack.
#include <algorithm>
#include <chrono>

#include "program_start.h"
#include "test_support.h"

namespace {

constexpr auto npos = std::string::npos;

// For Start("/bin/sh", ..., ShellArgs(line, program)): runs `line` in the
// shell, where kExec starts the program with the flat time step, so that a
// test can close or redirect a descriptor, set a limit or a variable.
const std::string kExec = "exec \"$0\" \"$@\"";
std::vector<std::string> ShellArgs(const std::string& line, const char* program) {
  return {"-c", line, program, kFlat[0], kFlat[1]};
}

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

// The viewer's lines go to TeporaOut/plot.log, which each run replaces, and
// --plot-range reaches visualiseF. The console warns once when no plot was
// written anew, also over an old one: when the viewer fails, or when it
// does not end in time and is stopped with its children.
TEST(Process, TheViewerWritesIntoThePlotLogAndIsStoppedWhenItHangs) {
  RunDir dir;
  WriteSmallCase();
  std::filesystem::create_directory("bin");
  const auto sim = [](const std::string& octave, const std::string& line) {
    RunDir::Write("bin/octave", "#!/bin/sh\n" + octave);
    std::filesystem::permissions("bin/octave", std::filesystem::perms::owner_all);
    return Start("/bin/sh", 1, false, ShellArgs("PATH=$PWD/bin:$PATH " + line, TEPORA_SIM));
  };
  const auto warned_once = [](const Outcome& r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(NoPlotWarning("TempProfile_final.png") + "\n"), npos) << r.err;
    EXPECT_EQ(r.err.find("the plot"), r.err.rfind("the plot")) << r.err;
  };
  // Plots, then ends with the noise of Octave 7's shutdown.
  Outcome r = sim("echo \"$3\"; echo png > TempProfile_final.png; echo 'error: ignoring' >&2\n",
                  kExec + " --plot-range 900,1550.5");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("plot"), npos) << r.err;
  EXPECT_EQ(r.err.find("error"), npos) << r.err;
  std::string log = ReadFile("TeporaOut/plot.log");
  EXPECT_NE(log.find("\nvisualiseF('TempProfile_final.mat', [900 1550.5])\nerror: ignoring\n"),
            npos) << log;

  warned_once(sim("echo \"error: 'visualiseF' undefined\" >&2; exit 1\n", kExec));
  log = ReadFile("TeporaOut/plot.log");
  EXPECT_EQ(log.find("[900"), npos) << log;
  EXPECT_NE(log.find("undefined\ntepora: no plot: the viewer ended with status 1 without"), npos)
      << log;

  const auto t0 = std::chrono::steady_clock::now();
  warned_once(sim("/bin/sleep 1000 &\necho $! > ../sleeper.pid\nwait\n",
                  "TEPORA_VIEWER_TIMEOUT=1 " + kExec));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20);
  EXPECT_NE(ReadFile("TeporaOut/plot.log").find("did not finish in 1 s"), npos);
  // The viewer's own child is gone (or a zombie no one has reaped yet); on a
  // loaded machine the viewer may be stopped before it starts the child.
  const std::string pid = ReadFile("sleeper.pid");
  if (pid.find_first_of("0123456789") == npos) return;
  const std::string stat = ReadFile("/proc/" + std::to_string(std::stoi(pid)) + "/stat");
  EXPECT_TRUE(stat.empty() || stat.find(") Z ") != npos) << stat;
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
