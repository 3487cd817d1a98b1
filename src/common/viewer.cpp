#include "viewer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "whole_file.h"

extern char** environ;

namespace {

// Seconds a viewer may run: a plot takes a few; a minute means it waits
// for something that will not come (a display, a licence, input).
double ViewerSeconds() {
  const char* text = std::getenv("TEPORA_VIEWER_TIMEOUT");
  if (text == nullptr) return 60;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  return end != text && *end == '\0' && seconds > 0 && std::isfinite(seconds) ? seconds : 60;
}

// Starts the command in a new process group, its input on /dev/null (a
// background group that read the terminal would stop), with the default
// action for a file-size limit, which this process ignores. 0 when the
// shell cannot be started.
pid_t StartViewer(const char* command) {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_init(&actions);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGXFSZ);
  sigemptyset(&none);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  char sh[] = "sh", c[] = "-c";
  char* argv[] = {sh, c, const_cast<char*>(command), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return pid;
}

}  // namespace

void Visualise(const char* fnameOctave) {
  if (!WritesFiles()) return;
  char str[100];
  std::snprintf(str, sizeof str, "cd TeporaOut; octave -q --eval \"visualiseF('%s')\";exit",
                fnameOctave);
  std::fflush(stdout);  // the viewer's lines follow the run's
  const pid_t pid = StartViewer(str);
  if (pid == 0) return;
  const double limit = ViewerSeconds();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::cerr << "warning: the viewer of TeporaOut/" << fnameOctave << " (octave) did not finish in "
            << limit << " s and was stopped; the results are written, only the plot is missing"
            << std::endl;
}
