// The process around a run, end to end: closed or failing console
// descriptors, a file-size limit, a hanging viewer, thread count and stack.
#include <chrono>
#include <cstring>

#include "program_start.h"
#include "test_support.h"

namespace {

// No result or scratch file holds a console line.
void ExpectNoConsoleInFiles() {
  for (const char* dir : {".", "TeporaOut"})
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      const std::string name = e.path().filename().string();
      if (!e.is_regular_file() || name == "out.txt" || name == "err.txt") continue;
      const std::string text = ReadFile(e.path().string());
      for (const char* line : {"warning", "Scenario", "iteration", "out of", "Elapsed"})
        EXPECT_EQ(text.find(line), std::string::npos) << line << " in " << e.path();
    }
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

TEST(Process, ConsoleAndFileSizeFaultsEndWithTheirStatus) {
  struct Case {
    const char* name;
    const char* program;
    std::string line;  // the shell line that starts it
    int status;
    const char* err;   // on standard error: the first line besides the shell's
    int lines;         // lines besides the shell's, -1 for any
  };
  const Case cases[] = {
      {"stdout closed", TEPORA_SIM, kExec + " >&-", 0, "", 0},
      {"stdout on a full device", TEPORA_SIM, kExec + " >/dev/full", 3,
       "error: standard output could not be written;", 1},
      // Every write of an element's profile fails and warns from the worker
      // threads while other threads hold temporaries open.
      {"every console descriptor closed", TEPORA_OPT, kExec + " <&- >&- 2>&-", 3, "", 0},
      {"file-size limit", TEPORA_SIM, "ulimit -f 8; " + kExec, 3,
       "warning: Mat::save(): couldn't write; file: TeporaOut/ConstM.mat", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunDir dir;
    WriteSmallCase(0.02, 0.1, 0.25, 0.1, 3.0, 20);
    RunDir::Write("Input/OptSettings.txt", Lines({100, 1500, 50, 2, 4, 2}));
    RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
    std::filesystem::create_directory("TeporaOut/TempProfile_part.mat");
    const Outcome r = Start("/bin/sh", 2, false, ShellArgs(c.line, c.program));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, c.status) << r.err;
    std::istringstream err(r.err);
    std::vector<std::string> said;
    for (std::string l; std::getline(err, l);)
      if (l.rfind("sh: ", 0) != 0) said.push_back(l);
    EXPECT_TRUE(c.lines < 0 || int(said.size()) == c.lines) << r.err;
    EXPECT_EQ(said.empty() ? "" : said[0].substr(0, strlen(c.err)), c.err) << r.err;
    ExpectNoConsoleInFiles();
  }
}

// A viewer that never ends is stopped with its children after the time
// limit; the run ends with its results and one warning line.
TEST(Process, AHangingViewerIsStopped) {
  RunDir dir;
  WriteSmallCase();
  std::filesystem::create_directory("bin");
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n");
  RunDir::Write("bin/octave", "#!/bin/sh\n/bin/sleep 1000 &\necho $! > ../sleeper.pid\nwait\n");
  std::filesystem::permissions("bin/octave", std::filesystem::perms::owner_all);
  const auto t0 = std::chrono::steady_clock::now();
  const Outcome r = Finish(
      Launch("/bin/sh", 1, false,
             ShellArgs("PATH=$PWD/bin:$PATH TEPORA_VIEWER_TIMEOUT=1 " + kExec, TEPORA_SIM)),
      30);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "warning: the viewer of TeporaOut/TempProfile_final.mat (octave) did not "
                   "finish in 1 s and was stopped; the results are written, only the plot is "
                   "missing\n");
  // The viewer's own child is gone (or a zombie no one has reaped yet).
  const std::string stat = ReadFile("/proc/" + std::to_string(std::stoi(ReadFile("sleeper.pid"))) + "/stat");
  EXPECT_TRUE(stat.empty() || stat.find(") Z ") != std::string::npos) << stat;
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
