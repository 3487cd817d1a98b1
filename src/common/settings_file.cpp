#include "settings_file.h"

#include <climits>
#include <cmath>
#include <string>

#include "errors.h"

using namespace arma;

void LoadSettings(vec& set, const char* path, uword needed) {
  mat numbers;
  numbers.load(path, auto_detect);
  if (numbers.n_cols > 1)
    throw InputError(std::string(path) + ": holds lines of " + std::to_string(numbers.n_cols) +
                     " numbers, expected one number per line");
  set = vectorise(numbers);
  if (set.n_elem < needed)
    throw InputError(std::string(path) + ": holds " + std::to_string(set.n_elem) +
                     " numbers, needs " + std::to_string(needed) + " (one number per line)");
  for (uword i = 0; i < needed; ++i)
    if (!std::isfinite(set(i)))
      throw InputError(std::string(path) + ": line " + std::to_string(i + 1) + " is " +
                       ValueText(set(i)) + ", expected a finite number");
}

int CountSetting(double value, const char* path, uword index) {
  const double t = std::trunc(value);
  if (!(t >= double(INT_MIN) && t <= double(INT_MAX)))
    throw InputError(std::string(path) + ": line " + std::to_string(index + 1) + " is " +
                     ValueText(value) + ", expected a count that fits a 32-bit integer");
  return int(t);
}
