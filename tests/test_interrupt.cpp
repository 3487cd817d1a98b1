// Runs killed by SIGKILL at any moment leave every result whole; a later
// run clears the temporaries they left.
#include <signal.h>

#include <chrono>
#include <thread>

#include "test_support.h"

using namespace tepora;

namespace {

bool IsTemporary(const std::filesystem::path& p) {
  return p.filename().string().find(".tmp") != npos;
}

// Every result in `dir` is a complete matrix or cube of the rows its name
// promises, 25 characters a number.
void ExpectWholeFiles(const std::string& dir, uword ndr, const std::string& when) {
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string path = e.path().string(), name = e.path().filename().string(),
                      ext = e.path().extension().string();
    if (IsTemporary(e.path()) || (ext != ".cub" && ext != ".mat" && ext != ".vec")) continue;
    SCOPED_TRACE(when + ": " + path);
    const uintmax_t size = std::filesystem::file_size(e.path());
    if (ReadFile(path).rfind("ARMA_CUB_TXT", 0) == 0) {
      cube c;
      ASSERT_TRUE(c.load(path, arma_ascii));
      const std::string header = "ARMA_CUB_TXT_FN008\n" + std::to_string(c.n_rows) + " " +
                                 std::to_string(c.n_cols) + " " + std::to_string(c.n_slices) + "\n";
      EXPECT_EQ(size, header.size() + c.n_rows * c.n_slices * (c.n_cols * 25 + 1));
      EXPECT_TRUE(c.n_elem == 0 || c.n_rows == ndr);  // element 0's upstream field is empty
    } else {
      mat m;
      ASSERT_TRUE(m.load(path, raw_ascii));
      EXPECT_EQ(size, m.n_rows * (m.n_cols * 25 + 1));
      EXPECT_EQ(m.n_rows, name == "ConstM.mat" ? 1600 : name == "ConstMorig.mat" ? 64 : ndr);
    }
  }
}

// Kills at spread moments of a run, checking after each; a full run clears.
void KillAtManyMoments(const char* program, uword ndr) {
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(Start(program, 2).status, 0);
  const double full = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  for (double f = 0.05; f < 1.01; f += 0.05) {
    const pid_t pid = Launch(program, 2);
    std::this_thread::sleep_for(std::chrono::duration<double>(f * full));
    kill(pid, SIGKILL);
    Finish(pid);
    for (const char* dir : {".", "TeporaOut"})
      ExpectWholeFiles(dir, ndr, "killed at " + std::to_string(f) + " of the run");
  }
  // Temporaries are cleared once they are ten minutes old: make these so.
  const auto aged = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(11);
  for (const char* dir : {".", "TeporaOut"})
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (IsTemporary(e.path())) std::filesystem::last_write_time(e.path(), aged);
  const Outcome r = Start(program, 2);
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* dir : {".", "TeporaOut"})
    for (const auto& e : std::filesystem::directory_iterator(dir))
      EXPECT_FALSE(IsTemporary(e.path())) << e.path();
}

TEST(Interrupted, SimulatorLeavesOnlyWholeFiles) {
  RunDir dir;
  WriteSmallCase(0.005, 0.025, 0.05, 0.1, 5.0, 60);  // 20 x 40 x 200 cells
  KillAtManyMoments(TEPORA_SIM, 20);
}

TEST(Interrupted, OptimiserLeavesOnlyWholeFiles) {
  RunDir dir;
  WriteSmallCase(0.01, 0.1, 0.1, 0.1, 5.0);
  RunDir::Write("Input/OptSettings.txt", Lines({200, 1000, 200, 2, 4, 60}));
  RunDir::Write("Input/ControlPoints.mat", "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  KillAtManyMoments(TEPORA_OPT, 10);
}

}  // namespace
