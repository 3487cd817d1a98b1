#include <gtest/gtest.h>

#include <armadillo>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  // The programs end by asking Octave for a plot; tests keep it off the path,
  // so that no test waits for a real plot, and start fakes of it by name.
  setenv("PATH", "/nonexistent", 1);
  ::testing::InitGoogleTest(&argc, argv);
  // Results that depend on the library's arithmetic and text formats name
  // the version they came from; the test listing CTest reads stays clean.
  if (!::testing::GTEST_FLAG(list_tests))
    std::printf("Armadillo %s\n", arma::arma_version::as_string().c_str());
  return RUN_ALL_TESTS();
}
