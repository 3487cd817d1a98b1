#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // The solvers end by asking Octave for a plot; tests keep it off the path
  // so that the command fails at once.
  setenv("PATH", "/nonexistent", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
