// How a run ends. Both programs share these exit statuses; the two error
// classes carry a one-line message from where a fault is found to main.
#pragma once

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tepora {

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

// A value as it appears in a message: the shortest text that reads back as
// the same double, so that 3.0000000000000004 is not shown as 3; in plain
// decimals between 0.0001 and 10^15, in exponent notation beyond.
inline std::string ValueText(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  const double a = std::fabs(x);
  const auto format =
      a == 0 || (a >= 1e-4 && a < 1e15) ? std::chars_format::fixed : std::chars_format::scientific;
  char text[400];
  return std::string(text, std::to_chars(text, text + sizeof text, x, format).ptr);
}

}  // namespace tepora
