

namespace tepora {

// The directories a run writes into: TeporaOut for its results and, for the
// optimiser, the working directory for the scratch files of its last
// candidate.
#pragma once

// Stops with bad input unless "TeporaOut" is a writable directory.
void CheckOutputDir();

// Stops with bad input unless the working directory is writable: the
// optimiser saves the starting field and inlet slice of every candidate
// there, and a run that cannot would compute everything first and fail on
// every save.
void CheckWorkingDir();

// Removes what runs killed while saving left of the result files: the
// temporaries of the files both programs write, once their inputs are
// accepted.
void ClearStaleTemporaries();

}  // namespace tepora
