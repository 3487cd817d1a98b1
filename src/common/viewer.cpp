#include "viewer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

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
// background group that read the terminal would stop), its output and
// errors into the descriptor `log` (/dev/null when negative), with the default
// action for a file-size limit, which this process ignores. 0 when the
// shell cannot be started.
pid_t StartViewer(const char* command, int log) {
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
  if (log >= 0) {
    posix_spawn_file_actions_adddup2(&actions, log, 1);
    posix_spawn_file_actions_adddup2(&actions, log, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  char sh[] = "sh", c[] = "-c";
  char* argv[] = {sh, c, const_cast<char*>(command), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return pid;
}

const char kLog[] = "TeporaOut/plot.log";

std::optional<std::pair<double, double>> plot_range;
bool log_started = false;

// Writes a line of Tepora's own into the log.
void Note(int log, const std::string& line) {
  if (log < 0) return;
  const ssize_t written = write(log, line.data(), line.size());
  (void)written;  // a log that cannot be written only loses the line
}

// What tells a file written anew from the one there before: a viewer that
// replaces it changes its inode or modification time.
struct Stamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
};

Stamp StampOf(const std::string& path) {
  Stamp s;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
  s = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  return s;
}

bool Renewed(const Stamp& before, const Stamp& after) {
  return after.exists && (!before.exists || after.dev != before.dev || after.ino != before.ino ||
                          after.size != before.size || after.mtime.tv_sec != before.mtime.tv_sec ||
                          after.mtime.tv_nsec != before.mtime.tv_nsec);
}

}  // namespace

void SetPlotRange(double lo, double hi) { plot_range = {lo, hi}; }

void Visualise(const char* fnameOctave) {
  if (!WritesFiles()) return;
  const std::string name = fnameOctave;
  const std::string png = "TeporaOut/" + name.substr(0, name.rfind('.')) + ".png";
  std::string call = "visualiseF('" + name + "'";
  if (plot_range) {
    char range[80];
    std::snprintf(range, sizeof range, ", [%.17g %.17g]", plot_range->first, plot_range->second);
    call += range;
  }
  const std::string command = "cd TeporaOut && exec octave -q --eval \"" + call + ")\"";
  // The first plot of the process replaces the log of an earlier run.
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (log_started ? 0 : O_TRUNC);
  const int log = open(kLog, flags, 0666);
  log_started = true;
  Note(log, "tepora: " + command + "\n");
  const Stamp before = StampOf(png);
  const pid_t pid = StartViewer(command.c_str(), log);
  std::string failure;
  if (pid == 0) {
    failure = "/bin/sh could not be started";
  } else {
    const double limit = ViewerSeconds();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid || (done < 0 && errno != EINTR)) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(-pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::ostringstream os;
        os << "the viewer did not finish in " << limit
           << " s (TEPORA_VIEWER_TIMEOUT) and was stopped";
        failure = os.str();
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (failure.empty() && !Renewed(before, StampOf(png))) {
      std::ostringstream os;
      os << "the viewer ended";
      if (WIFEXITED(status)) os << " with status " << WEXITSTATUS(status);
      if (WIFSIGNALED(status)) os << " by signal " << WTERMSIG(status);
      os << " without writing " << png;
      failure = os.str();
    }
  }
  if (!failure.empty()) {
    Note(log, "tepora: no plot: " + failure + "\n");
    std::cerr << "warning: the plot " << png << " could not be made; see " << kLog << std::endl;
  }
  if (log >= 0) close(log);
}
