#include "run_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <new>

namespace {

const double kPi = 3.141592653589793;

void RequirePositive(double value, const char* path, uword index, const char* what) {
  if (!(value > 0.0) || !std::isfinite(value))
    throw InputError(std::string(path) + ": line " + std::to_string(index + 1) + " (" + what +
                     ") is " + ValueText(value) + ", expected a positive number");
}

void RequireCells(double count, const char* what, double minimum) {
  if (!(count >= minimum) || count > double(INT_MAX))
    throw InputError(std::string("the grid has ") + ValueText(count) + " " + what +
                     ", expected at least " + ValueText(minimum) +
                     " (check the cell widths against the radius and length)");
}

}  // namespace

void CheckOutputDir() {
  struct stat st;
  if (stat("TeporaOut", &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access("TeporaOut", W_OK | X_OK) != 0)
    throw InputError(
        "TeporaOut: the output directory is missing or not writable; create it beside Input/ "
        "in the directory the program runs in");
}

void CheckGrid(const vec& Numset, const vec& Techset, const char* Numfname,
               const char* Techfname) {
  RequirePositive(Numset(0), Numfname, 0, "radial cell width, m");
  RequirePositive(Numset(1), Numfname, 1, "axial cell length, m");
  RequirePositive(Numset(2), Numfname, 2, "angular cell width, multiple of pi");
  RequirePositive(Techset(0), Techfname, 0, "strand radius, m");
  RequirePositive(Techset(1), Techfname, 1, "modelled length, m");
  RequireCells(CellsToCover(Techset(0), Numset(0)), "radial cells", 2);
  RequireCells(CellsToCover(6.283185307179586, kPi * Numset(2)), "angular cells", 3);
  RequireCells(CellsToCover(Techset(1), Numset(1)), "slices", 3);
}

Tepora BuildStrandModel(const vec& Numset, const vec& Techset, double Taumax,
                        const char* table) {
  return Tepora(Numset(0), Numset(1), kPi * Numset(2), Techset(0), Techset(1), Taumax,
                Techset(3), table, Techset(4) / 60, Techset(2), Numset(3), Techset(5));
}

int RunProgram(const std::function<void()>& work) {
  ResetWriteFailures();
  try {
    work();
  } catch (const InputError& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    return kExitBadInput;
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "error: out of memory" << std::endl;
    return kExitComputeError;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    return kExitComputeError;
  }
  std::cout.flush();
  return AnyWriteFailed() ? kExitWriteFailed : kExitOk;
}

void PrintElapsed(time_t start) {
  time_t end;
  time(&end);
  const double dif = difftime(end, start);
  printf("\n Elapsed time is %.2lf minutes.", dif / 60);
  fflush(stdout);
}
