// Settings files: plain text, one number per line, entries addressed by
// their position.
#pragma once

#include <armadillo>

// Loads a settings file into `set`; stops with bad input (one line naming
// the file) when it holds fewer than `needed` numbers, more than one number
// on a line, or a non-finite number among the first `needed`.
void LoadSettings(arma::vec& set, const char* path, arma::uword needed);

// A count entry (line index + 1 of the file) truncated toward zero; stops
// with bad input when it does not fit a 32-bit integer.
int CountSetting(double value, const char* path, arma::uword index);
