#include "optimise/opt_settings.h"

namespace tepora {

SettingsFile OptSettingsFile() {
  return {"Input/OptSettings.txt",
          {"lowest htc, W/(m2 K)", "highest htc, W/(m2 K)", "htc step, W/(m2 K)",
           "number of iterations", "number of elements", "time steps of an element simulation"}};
}

void CheckOptSettings(const vec& Settings, const SettingsFile& file) {
  RequireAbove(Settings, file, 0, 0, true);
  RequireAbove(Settings, file, 2, 0);
  if (Settings(0) > Settings(1))
    throw InputError(file.Entry(0) + " is " + ValueText(Settings(0)) + ", above line 2 (" +
                     ValueText(Settings(1)) + "); expected the lowest htc first");
  // Every addition of the step must move the candidate, and the grid must
  // stay a search rather than a sweep of millions of simulations.
  if (!(Settings(0) + Settings(2) > Settings(0) && Settings(1) + Settings(2) > Settings(1)) ||
      (Settings(1) - Settings(0)) / Settings(2) >= 10000)
    throw InputError(file.Entry(2) + " is " + ValueText(Settings(2)) +
                     ", which gives more than 10000 candidates between lines 1 and 2; expected a "
                     "larger step");
  CountSetting(Settings, file, 4, 3);
}

OptSettings ReadOptSettings() {
  const SettingsFile file = OptSettingsFile();
  vec lines;
  LoadSettings(lines, file, 6);
  CheckOptSettings(lines, file);
  OptSettings s;
  s.elements = CountSetting(lines, file, 4, 3);
  s.iterations = CountSetting(lines, file, 3);
  s.element_steps = CountSetting(lines, file, 5);
  s.lowest_htc = lines(0);
  s.highest_htc = lines(1);
  s.htc_step = lines(2);
  return s;
}

}  // namespace tepora
