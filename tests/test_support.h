// Shared by the tests: a run directory, the small steel-like case, and
// running the programs.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/headers.h"

namespace tepora {

// A fresh working directory with Input/ and TeporaOut/ for the test's life.
class RunDir {
 public:
  RunDir() : dir_(mkdtemp(tmpl_)), old_(std::filesystem::current_path()) {
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
  char tmpl_[24] = "/tmp/tepora-test-XXXXXX";
  std::filesystem::path dir_, old_;
};

inline std::string ReadFile(const std::string& name) {
  std::stringstream s;
  s << std::ifstream(name).rdbuf();
  return s.str();
}

constexpr auto npos = std::string::npos;

// TeporaOut/Strand.csv below its header, one row of numbers per slice.
inline std::vector<std::vector<double>> StrandCsv() {
  std::istringstream csv(ReadFile("TeporaOut/Strand.csv"));
  std::vector<std::vector<double>> rows;
  std::string line;
  std::getline(csv, line);
  while (std::getline(csv, line)) {
    for (char& c : line) c = c == ',' ? ' ' : c;
    std::istringstream fields(line);
    rows.emplace_back();
    for (double v; fields >> v;) rows.back().push_back(v);
  }
  return rows;
}

// Polls `done` every 20 ms: true once it holds, false if `seconds` pass first.
template <class Done>
bool WaitFor(Done done, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() > deadline) return false;
  return true;
}

// Empties TeporaOut/ for the next run.
inline void ClearResults() {
  std::filesystem::remove_all("TeporaOut");
  std::filesystem::create_directory("TeporaOut");
}

// Two runs' results agree to the byte; otherwise shows where they part.
inline void ExpectSame(const std::string& results, const std::string& expected) {
  const auto at = std::mismatch(results.begin(), results.end(), expected.begin(), expected.end());
  EXPECT_TRUE(results == expected) << "from: " << results.substr(at.first - results.begin(), 300);
}

// Points every 25 degC to 1600, latent heat between 1450 and 1500 degC.
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

// The Kirchhoff potential of SteelTable at t, W/m from 25 degC: its
// conductivity runs straight between rows 25 K apart, so the integral adds
// their trapezoids.
inline double SteelPotential(double t) {
  const auto k = [](double x) {
    return x < 800 ? 50.0 - 0.03 * x : x < 1500 ? 26.0 + 0.004 * (x - 800) : 80.0;
  };
  double phi = 0.0;
  for (double a = 25.0; a < t; a += 25.0) {
    const double b = std::min(a + 25.0, t), kb = k(a) + (b - a) / 25.0 * (k(a + 25.0) - k(a));
    phi += 0.5 * (b - a) * (k(a) + kb);
  }
  return phi;
}

// Where the parabola through (x0, y0), (x1, y1), (x2, y2) takes the value
// `level` between x0 and x1, by the quadratic formula.
inline double ParabolaCrossing(double x0, double y0, double x1, double y1, double x2, double y2,
                               double level) {
  // y = y0 + b (x - x0) + c (x - x0)(x - x1), Newton's divided differences.
  const double b = (y1 - y0) / (x1 - x0), c = ((y2 - y1) / (x2 - x1) - b) / (x2 - x0);
  // c u^2 + (b - c (x1 - x0)) u + (y0 - level) = 0 with u = x - x0.
  const double B = b - c * (x1 - x0), C = y0 - level;
  if (c == 0) return x0 - C / B;
  const double d = std::sqrt(B * B - 4 * c * C);
  for (double u : {(-B + d) / (2 * c), (-B - d) / (2 * c)})
    if ((u >= 0) == (x1 >= x0) && std::fabs(u) <= std::fabs(x1 - x0)) return x0 + u;
  return NAN;
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

// The warning of every test run, whose directory holds no plot script.
inline std::string NoPlotWarning(const std::string& png) {
  return "warning: the plot TeporaOut/" + png +
         " could not be made; TeporaOut/visualiseF.m is missing (copy scripts/visualiseF.m "
         "there, or run with --no-plot)";
}

struct Outcome {
  int status;  // -1 when a signal ended the run
  int signal;
  std::string out, err;
};

// End-to-end runs default to the flat step, which reproduces earlier results.
inline const std::vector<std::string> kFlat = {"--model", "flat"};

// Starts a program, its console to out.txt and err.txt; `as_other_user`
// runs it as nobody under root, so permissions apply. SIGALRM after 100 s.
inline pid_t Launch(const char* program, int threads = 1, bool as_other_user = false,
                    const std::vector<std::string>& args = kFlat) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666), 1);
  dup2(open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666), 2);
  setenv("OMP_NUM_THREADS", std::to_string(threads).c_str(), 1);
  if (as_other_user && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
  std::vector<char*> argv = {const_cast<char*>(program)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  alarm(100);
  execv(program, argv.data());
  _exit(127);
}

inline Outcome Finish(pid_t pid) {
  int rc = 0;
  waitpid(pid, &rc, 0);
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, WIFSIGNALED(rc) ? WTERMSIG(rc) : 0,
          ReadFile("out.txt"), ReadFile("err.txt")};
}

inline Outcome Start(const char* program, int threads = 1, bool as_other_user = false,
                     const std::vector<std::string>& args = kFlat) {
  return Finish(Launch(program, threads, as_other_user, args));
}

}  // namespace tepora
