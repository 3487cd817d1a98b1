#include "common/settings_file.h"

#include <cmath>

#include "common/errors.h"
#include "common/matrix.h"
#include "common/numeric_text.h"

namespace tepora {

std::string SettingsFile::Entry(uword index) const {
  std::string text = path + ": line " + std::to_string(index + 1);
  if (index < entries.size()) text += std::string(" (") + entries[index] + ")";
  return text;
}

void LoadSettings(vec& set, const SettingsFile& file, uword needed) {
  set = vectorise(LoadNumericText(file.path, {"one number per line", 1, 1, true}));
  if (set.n_elem < needed)
    throw InputError(file.Entry(set.n_elem) + " is missing; expected " + std::to_string(needed) +
                     " numbers, one per line, and the file holds " + std::to_string(set.n_elem));
  for (uword i = 0; i < needed; ++i)
    if (!std::isfinite(set(i)))
      throw InputError(file.Entry(i) + " is " + ValueText(set(i)) + ", expected a finite number");
}

int CountSetting(const vec& set, const SettingsFile& file, uword index, int minimum) {
  const double t = std::trunc(set(index));
  if (!(t >= double(INT_MIN) && t <= double(INT_MAX)))
    throw InputError(file.Entry(index) + " is " + ValueText(set(index)) +
                     ", expected a count that fits a 32-bit integer");
  if (t < minimum)
    throw InputError(file.Entry(index) + " is " + ValueText(set(index)) +
                     ", expected a count of at least " + std::to_string(minimum));
  return int(t);
}

void RequireAbove(const vec& set, const SettingsFile& file, uword index, double low,
                  bool inclusive) {
  const double x = set(index);
  if (inclusive ? x >= low : x > low) return;
  throw InputError(file.Entry(index) + " is " + ValueText(x) + ", expected " +
                   (low == 0 ? (inclusive ? "zero or a positive number" : "a positive number")
                             : (inclusive ? "at least " : "above ") + ValueText(low)));
}

}  // namespace tepora
