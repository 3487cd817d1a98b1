// Result files are written whole or not at all: the text goes to a temporary
// file in the target's directory, which is then renamed over the target.
// Several threads may save to the same name at once; each uses its own
// temporary name, and the file left is the complete output of one writer.
#pragma once

#include <armadillo>

#include <string>

// Writes `text` into a temporary file beside `path` and renames it over
// `path`. On failure prints the matrix library's style of warning,
// "<kind>::save(): couldn't write; file: <path>", records the failure and
// returns false.
bool WriteWhole(const std::string& path, const char* kind, const std::string& text);

// The matrix library's text formats, byte for byte: every number in
// scientific notation with 17 significant digits in a field of 24, each
// preceded by a blank. Formatted here without the streams, whose shared
// locale serialises threads that write at once.
std::string RawAsciiText(const arma::mat& m);     // one matrix row per line
std::string ArmaAsciiText(const arma::cube& c);   // header, sizes, then slice by slice

// A matrix in the library's raw_ascii format, a cube in its arma_ascii format.
inline bool SaveWhole(const arma::mat& m, const std::string& path) {
  return WriteWhole(path, "Mat", RawAsciiText(m));
}

inline bool SaveWhole(const arma::cube& c, const std::string& path) {
  return WriteWhole(path, "Cube", ArmaAsciiText(c));
}

// Removes the temporary files of `path` that writers killed before their
// rename left behind: those of processes no longer running on this machine.
void RemoveStaleTemporaries(const std::string& path);

// True once any save of this process has failed; the programs then end with
// the status for an unwritten result file.
bool AnyWriteFailed();
void ResetWriteFailures();
