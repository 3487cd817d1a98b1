// Settings files: plain text, one number per line, entries addressed by
// their position.
#pragma once

#include <armadillo>

#include <climits>
#include <string>
#include <vector>

namespace tepora {

// A settings file: where it is and what each of its lines means, so that a
// message can name the entry ("Input/NumSettings.txt: line 4 (time step, s)").
struct SettingsFile {
  std::string path;
  std::vector<const char*> entries;  // meaning and unit of each line, in order

  std::string Entry(arma::uword index) const;
};

// Loads the file into `set`; stops with bad input (one line naming the file
// and the entry) unless it is plain text of one number per line holding at
// least `needed` numbers, the first `needed` of them finite.
void LoadSettings(arma::vec& set, const SettingsFile& file, arma::uword needed);

// A count entry truncated toward zero; stops with bad input when it does
// not fit a 32-bit integer or is below `minimum`.
int CountSetting(const arma::vec& set, const SettingsFile& file, arma::uword index,
                 int minimum = INT_MIN);

// Stops with bad input unless the entry is above `low` (or at least `low`
// when `inclusive`).
void RequireAbove(const arma::vec& set, const SettingsFile& file, arma::uword index, double low,
                  bool inclusive = false);

}  // namespace tepora
