#include "apps/run_directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include "common/errors.h"
#include "common/whole_file.h"

namespace tepora {

void CheckOutputDir() {
  struct stat st;
  if (stat("TeporaOut", &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access("TeporaOut", W_OK | X_OK) != 0)
    throw InputError(
        "TeporaOut: the output directory is missing or not writable; create it beside Input/ "
        "in the directory the program runs in");
}

void CheckWorkingDir() {
  if (::access(".", W_OK | X_OK) != 0)
    throw InputError(
        "the working directory is not writable; the optimiser keeps the scratch files T_old.cub "
        "and Tf.vec there, expected a directory it may write into");
}

void ClearStaleTemporaries() {
  RemoveStaleTemporaries("TeporaOut");  // the result files
  RemoveStaleTemporaries(".");          // the optimiser's scratch files
}

}  // namespace tepora
