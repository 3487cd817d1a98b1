// Plain-text tables of numbers (settings, control points, material table)
// are checked before the matrix library parses them: the library reads a
// binary file as raw doubles, takes "0.1x" for 0.1, a header line for zeros
// and stops quietly at a blank line. The check turns each of these into one
// line naming the file, the line and what was expected.
#pragma once

#include <string>

struct NumericTextShape {
  const char* expected;    // what a line holds, for messages
  unsigned min_columns;    // numbers a line must hold at least
  unsigned max_columns;    // and at most
  bool commas_separate;    // commas separate numbers (the library's csv guess)
};

// Stops with bad input unless the file at `path` is readable, non-empty
// plain text whose lines each hold the same number of numbers, within the
// shape's bounds, with no blank line between two lines of numbers.
// Returns the number of lines of numbers.
unsigned CheckNumericText(const std::string& path, const NumericTextShape& shape);
