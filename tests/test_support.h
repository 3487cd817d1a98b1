// A run directory for tests: a fresh temporary directory holding Input/ and
// TeporaOut/, made the working directory for the test's lifetime.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "headers.h"

class RunDir {
 public:
  RunDir() {
    char tmpl[] = "/tmp/tepora-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::create_directories(dir_ / "Input");
    std::filesystem::create_directories(dir_ / "TeporaOut");
    std::filesystem::current_path(dir_);
  }
  ~RunDir() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  const std::filesystem::path& path() const { return dir_; }

  static void Write(const std::string& name, const std::string& text) {
    std::ofstream(name) << text;
  }

 private:
  std::filesystem::path dir_, old_;
};

inline std::string ReadFile(const std::string& name) {
  std::ifstream f(name);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A steel-like table: points every 25 degC from 25 to 1600, enthalpy rising
// with a latent-heat step between 1450 and 1500 degC, conductivity falling
// then rising.
inline std::string SteelTable() {
  std::ostringstream os;
  os.precision(17);
  for (int T = 25; T <= 1600; T += 25) {
    double H = 4000.0 * T + (T > 1500 ? 1.9e6 : T > 1450 ? (T - 1450) / 50.0 * 1.9e6 : 0.0);
    double k = T < 800 ? 50.0 - 0.03 * T : T < 1500 ? 26.0 + 0.004 * (T - 800) : 80.0;
    os << T << ".0," << H << "," << k << "\n";
  }
  return os.str();
}

// Settings of a whole-strand run, one number per line.
inline std::string Lines(std::initializer_list<double> values) {
  std::ostringstream os;
  os.precision(17);
  for (double v : values) os << v << "\n";
  return os.str();
}

// Writes the steel table and run settings of a small strand into Input/.
inline void WriteSmallCase(double dr0 = 0.02, double dz0 = 0.1, double dphi = 0.25,
                           double R = 0.1, double L = 3.0, int steps = 20) {
  RunDir::Write("Input/Interp.csv", SteelTable());
  RunDir::Write("Input/NumSettings.txt", Lines({dr0, dz0, dphi, 0.5, double(steps)}));
  RunDir::Write("Input/TechSettings.txt", Lines({R, L, 30, 1550, 0.6, 500, 1.2}));
}

// The one line a run gives when its plot (a PNG in TeporaOut) could not be
// made, as in every test run: the tests keep Octave off the path.
inline std::string NoPlotWarning(const std::string& png) {
  return "warning: the plot TeporaOut/" + png + " could not be made; see TeporaOut/plot.log";
}

// How a program run ended: its exit status, or the signal that ended it.
struct Outcome {
  int status;  // -1 when a signal ended the run
  int signal;
  std::string out, err;
};

// The end-to-end expectations are those of the flat time step, which
// reproduces earlier results to the bit.
inline const std::vector<std::string> kFlat = {"--model", "flat"};

// For Start("/bin/sh", ..., ShellArgs(line, program)): runs `line` in the
// shell, where kExec starts the program with the flat time step, so that a
// test can close or redirect a descriptor, set a limit or a variable.
inline const std::string kExec = "exec \"$0\" \"$@\"";
inline std::vector<std::string> ShellArgs(const std::string& line, const char* program) {
  std::vector<std::string> args = {"-c", line, program};
  args.insert(args.end(), kFlat.begin(), kFlat.end());
  return args;
}

// Starts a program in the working directory with `args` and its console
// going to out.txt and err.txt. `as_other_user` runs it as user nobody when
// the tests run as root, so that file permissions apply to it.
inline pid_t Launch(const char* program, int threads = 1, bool as_other_user = false,
                    const std::vector<std::string>& args = kFlat) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  const int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
  dup2(out, 1);
  dup2(err, 2);
  setenv("OMP_NUM_THREADS", std::to_string(threads).c_str(), 1);
  if (as_other_user && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
  std::vector<char*> argv = {const_cast<char*>(program)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program, argv.data());
  _exit(127);
}

// How the run ended; a run still going after `seconds` is killed and
// reported as ended by SIGKILL.
inline Outcome Finish(pid_t pid, double seconds = 600) {
  int rc = 0;
  for (int waited = 0; waitpid(pid, &rc, WNOHANG) == 0; ++waited) {
    if (waited >= seconds * 100) {
      kill(pid, SIGKILL);
      waitpid(pid, &rc, 0);
      break;
    }
    usleep(10000);
  }
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, WIFSIGNALED(rc) ? WTERMSIG(rc) : 0,
          ReadFile("out.txt"), ReadFile("err.txt")};
}

inline Outcome Start(const char* program, int threads = 1, bool as_other_user = false,
                     const std::vector<std::string>& args = kFlat) {
  return Finish(Launch(program, threads, as_other_user, args));
}
