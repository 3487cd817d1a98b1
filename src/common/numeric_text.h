// Plain-text tables of numbers (settings, control points, material table).
// They are checked before the matrix library parses them: left to itself the
// library reads a binary file as raw doubles, takes "0.1m" for 0.1 and a
// header line for zeros, stops quietly at a blank line, and guesses the
// separator from the first 4096 bytes. The check turns each of these into
// one line naming the file, the line and what was expected.
#pragma once

#include <armadillo>

#include <string>

namespace tepora {

struct NumericTextShape {
  const char* expected;   // what a line holds, for messages
  unsigned min_columns;   // numbers a line must hold at least
  unsigned max_columns;   // and at most
  bool commas_separate;   // commas, where the file has any, separate numbers
};

// Reads the file at `path` and stops with bad input unless it is a regular,
// readable, non-empty plain-text file whose lines of numbers each hold the
// same count, within the shape's bounds, with no blank line between them.
// The library then parses exactly those lines (comma-separated when the file
// has a comma and the shape allows it, else blank-separated).
arma::mat LoadNumericText(const std::string& path, const NumericTextShape& shape);

// True when `path` exists and is not a regular file (a directory, a pipe, a
// device), which no reader here should open.
bool IsSpecialFile(const std::string& path);

}  // namespace tepora
