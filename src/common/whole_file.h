// Result files are written whole or not at all: the data go to a temporary
// file in the target's directory, which is then renamed over the target.
// Several threads may save to the same name at once; each uses its own
// temporary name, and the file left is the complete output of one writer.
#pragma once

#include <armadillo>

#include <functional>
#include <ostream>
#include <string>

// Writes through `write` into a temporary file beside `path` and renames it
// over `path`. On failure prints the matrix library's style of warning,
// "<kind>::save(): couldn't write; file: <path>", records the failure and
// returns false.
bool WriteWhole(const std::string& path, const char* kind,
                const std::function<bool(std::ostream&)>& write);

inline bool SaveWhole(const arma::mat& m, const std::string& path, arma::file_type type) {
  return WriteWhole(path, "Mat", [&](std::ostream& os) { return m.save(os, type); });
}

inline bool SaveWhole(const arma::cube& c, const std::string& path, arma::file_type type) {
  return WriteWhole(path, "Cube", [&](std::ostream& os) { return c.save(os, type); });
}

// True once any save of this process has failed; the programs then end with
// the status for an unwritten result file.
bool AnyWriteFailed();
void ResetWriteFailures();
