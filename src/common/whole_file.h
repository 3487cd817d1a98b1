// Result files are written whole or not at all: the text goes to a temporary
// file in the target's directory, which is then renamed over the target.
// Several threads may save to the same name at once; each uses its own
// temporary name, and the file left is the complete output of one writer.
#pragma once

#include <armadillo>

#include <string>

namespace tepora {

// Writes `text` into a temporary file beside `path` and renames it over
// `path`. The temporary is created new (never opened through a file or a
// link already at its name: another name is tried) and is the only file a
// failed write removes. On failure prints the matrix library's style of
// warning, "<kind>::save(): couldn't write; file: <path>", records the
// failure and returns false.
bool WriteWhole(const std::string& path, const char* kind, const std::string& text);

// A new, empty file at `path` in place of whatever is there, for a log that
// grows while it is written: a temporary created as above, renamed over
// `path` before anything is written, so that a link planted at `path` is
// replaced and never followed. Returns its descriptor, open for writing and
// closed across exec, or -1 when it cannot be made (nothing is left then).
int CreateFresh(const std::string& path);

// The name of this thread's `attempt`-th temporary for `path`: the target's
// name, ".tmp", the process id, '_' and a number of the thread and attempt.
std::string TemporaryName(const std::string& path, unsigned attempt);

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

// A scratch file the optimiser keeps of its last candidate, saved like a
// result but written once per candidate: a failed write is recorded every
// time and warned once per path in a run, not once per candidate.
bool SaveScratch(const arma::cube& c, const std::string& path);

// Removes the temporary files in directory `dir` that writers killed before
// their rename left behind, whatever file they were writing: regular files
// (not links) of the temporaries' name pattern whose process no longer runs
// here and that are more than ten minutes old, since a writer in another PID
// namespace looks dead from here while it runs.
void RemoveStaleTemporaries(const std::string& dir);

// Every process of a run started by mpirun computes the same results; one
// writes them. After WriteNoFiles every save of this process is skipped and
// counts as done, and no viewer is started.
void WriteNoFiles();
bool WritesFiles();

// True once any save of this process has failed; the programs then end with
// the status for an unwritten result file.
bool AnyWriteFailed();
void ResetWriteFailures();

}  // namespace tepora
