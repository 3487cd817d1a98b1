// Input/OptSettings.txt: the htc grid each element's search walks and how
// long the hedging runs.
#pragma once

#include "common/headers.h"
#include "common/settings_file.h"

namespace tepora {

// The optimiser's settings, read once when it is set up.
struct OptSettings {
  double lowest_htc = 0;   // first candidate of every search, W/(m^2 K)
  double highest_htc = 0;  // no candidate lies above it, W/(m^2 K)
  double htc_step = 0;     // added to a candidate to give the next, W/(m^2 K)
  int iterations = 0;      // progressive hedging iterations
  int elements = 0;        // elements the strand is cut into, at least 3
  int element_steps = 0;   // time steps of every element simulation
};

// Input/OptSettings.txt and what each of its lines means.
SettingsFile OptSettingsFile();

// The htc grid must be finite, non-empty and not negative, and progressive
// hedging needs three elements. The program runs this before it builds the
// whole-strand model, so that bad input leaves no file behind.
void CheckOptSettings(const vec& Settings, const SettingsFile& file);

// The file read, checked and given its meanings; stops with bad input.
OptSettings ReadOptSettings();

}  // namespace tepora
