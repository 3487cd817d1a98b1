#include "apps/program_start.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>

#include "common/errors.h"
#include "common/whole_file.h"

namespace tepora {

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null > fd) {
      dup2(null, fd);
      close(null);
    } else if (null < 0) {
      // Without /dev/null a result file would take the console's place.
      _exit(kExitBadInput);
    }
  }
  signal(SIGXFSZ, SIG_IGN);
  // Each console line reaches a file or pipe as it is printed, so that the
  // progress of a long run can be followed there and a stopped run's file
  // holds every line printed before the stop.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

int RunProgram(const std::function<void()>& work) {
  ResetWriteFailures();
  int status = kExitOk;
  try {
    work();
  } catch (const InputError& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    status = kExitBadInput;
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "error: out of memory" << std::endl;
    status = kExitComputeError;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "error: " << e.what() << std::endl;
    status = kExitComputeError;
  }
  if (status == kExitOk && AnyWriteFailed()) status = kExitWriteFailed;
  return ConsoleChecked(status);
}

int ConsoleChecked(int status) {
  std::cout.flush();
  const bool lost = std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout;
  if (!lost || status != kExitOk) return status;
  std::cerr << "error: standard output could not be written; the console lines of this run "
               "(progress, results, elapsed time) are incomplete"
            << std::endl;
  return kExitWriteFailed;
}

void PrintElapsed(time_t start) {
  time_t end;
  time(&end);
  const double dif = difftime(end, start);
  printf("\n Elapsed time is %.2lf minutes.\n", dif / 60);
  fflush(stdout);
}

}  // namespace tepora
