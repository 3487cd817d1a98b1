// Settings files: plain text, one number per line, entries addressed by
// their position.
#pragma once

#include <armadillo>

// Loads a settings file into `set`; stops with bad input (one line naming
// the file) when it holds fewer than `needed` numbers, more than one number
// on a line, or a non-finite number among the first `needed`.
void LoadSettings(arma::vec& set, const char* path, arma::uword needed);
