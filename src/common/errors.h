// How a run ends. Both programs share these exit statuses; the two error
// classes carry a one-line message from where a fault is found to main.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>

enum ExitStatus {
  kExitOk = 0,
  kExitComputeError = 1,  // a run stopped during computation
  kExitBadInput = 2,      // bad input found before any computation
  kExitWriteFailed = 3,   // a result file could not be written
};

// Input that cannot give a run: a missing or short settings file, a bad
// material table, a grid that cannot be built. Found before computing.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value that left the material table while a run was computing.
class TableRangeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value as it appears in a message: up to ten significant digits.
inline std::string ValueText(double x) {
  std::ostringstream os;
  os.precision(10);
  os << x;
  return os.str();
}
