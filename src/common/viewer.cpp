#include "common/viewer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "common/whole_file.h"

extern char** environ;

namespace tepora {

namespace {

// Seconds a viewer may run: a plot takes a few; a minute means it waits
// for something that will not come (a display, a licence, input). A value
// that is not a positive number gets one warning line and the minute; an
// empty one counts as unset.
double ViewerSeconds() {
  const char* text = std::getenv("TEPORA_VIEWER_TIMEOUT");
  if (text == nullptr || *text == '\0') return 60;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (!std::isspace(static_cast<unsigned char>(*text)) && *end == '\0' && seconds > 0 &&
      std::isfinite(seconds))
    return seconds;
  std::string shown = text;  // one line whatever the variable holds
  for (char& c : shown)
    if (std::iscntrl(static_cast<unsigned char>(c))) c = '?';
  std::cout.flush();
  std::cerr << "warning: TEPORA_VIEWER_TIMEOUT is '" << shown
            << "', expected a positive number of seconds; the viewer gets 60 s" << std::endl;
  return 60;
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
const char kScript[] = "TeporaOut/visualiseF.m";

std::optional<std::pair<double, double>> plot_range;
bool plots_skipped = false;
int log_fd = -1;  // plot.log, made by the first plot of the process
bool log_started = false;

// What the handler of a stopping signal needs, lock-free so that a handler
// may read it: the viewer's process group (0 when none runs), the log, a
// stop that came while the viewer was being started, and whether it is.
std::atomic<pid_t> viewer_group{0};
std::atomic<int> viewer_log{-1};
std::atomic<int> stop_signal{0};
std::atomic<bool> starting{false};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// The signals that end a run from outside: kill's default, Ctrl-C, a
// closed terminal. The viewer runs in a group of its own, which none of
// them reaches.
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Ends the viewer's group, says so in the log and ends the run by `sig`
// with its default action, so that the run's parent sees the signal.
// Async-signal-safe.
void EndViewerAndStop(int sig) {
  const pid_t group = viewer_group.exchange(0);
  if (group > 0) {
    kill(-group, SIGKILL);
    const char* line = sig == SIGTERM  ? "tepora: no plot: the run was stopped by SIGTERM\n"
                       : sig == SIGINT ? "tepora: no plot: the run was stopped by SIGINT\n"
                                       : "tepora: no plot: the run was stopped by SIGHUP\n";
    size_t length = 0;
    while (line[length] != '\0') ++length;
    const int log = viewer_log.load();
    if (log >= 0) {
      const ssize_t written = write(log, line, length);
      (void)written;  // the run ends either way
    }
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

// A stop while the viewer is being started is left to the starter, which
// looks for it once the group is known; any other ends group and run here.
void OnStop(int sig) {
  stop_signal.store(sig);
  if (viewer_group.load() == 0 && starting.load()) return;
  EndViewerAndStop(sig);
}

// Handles the stopping signals while a viewer runs; those the run ignores
// (nohup, a background job) stay ignored. The end of its scope puts back
// what was there.
class StopHandlers {
 public:
  StopHandlers() {
    struct sigaction on_stop {};
    on_stop.sa_handler = OnStop;
    on_stop.sa_flags = SA_RESTART;
    sigemptyset(&on_stop.sa_mask);
    for (size_t k = 0; k < std::size(kStopSignals); ++k) {
      sigaction(kStopSignals[k], nullptr, &old_[k]);
      installed_[k] = old_[k].sa_handler == SIG_DFL && !(old_[k].sa_flags & SA_SIGINFO) &&
                      sigaction(kStopSignals[k], &on_stop, nullptr) == 0;
    }
  }
  ~StopHandlers() {
    for (size_t k = 0; k < std::size(kStopSignals); ++k)
      if (installed_[k]) sigaction(kStopSignals[k], &old_[k], nullptr);
  }

 private:
  struct sigaction old_[std::size(kStopSignals)];
  bool installed_[std::size(kStopSignals)] = {};
};

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

void SkipPlots() { plots_skipped = true; }

void Visualise(const char* fnameOctave) {
  if (!WritesFiles() || plots_skipped) return;
  const std::string name = fnameOctave;
  const std::string png = "TeporaOut/" + name.substr(0, name.rfind('.')) + ".png";
  // Octave without the script only fails after seconds of start-up.
  struct stat script;
  if (stat(kScript, &script) != 0 || !S_ISREG(script.st_mode)) {
    std::cout.flush();
    std::cerr << "warning: the plot " << png << " could not be made; " << kScript
              << " is missing (copy scripts/visualiseF.m there, or run with --no-plot)"
              << std::endl;
    return;
  }
  const double limit = ViewerSeconds();
  std::string call = "visualiseF('" + name + "'";
  if (plot_range) {
    char range[80];
    std::snprintf(range, sizeof range, ", [%.17g %.17g]", plot_range->first, plot_range->second);
    call += range;
  }
  const std::string command = "cd TeporaOut && exec octave -q --eval \"" + call + ")\"";
  // The first plot of the process replaces the log of an earlier run.
  if (!log_started) log_fd = CreateFresh(kLog);
  log_started = true;
  const int log = log_fd;
  Note(log, "tepora: " + command + "\n");
  const Stamp before = StampOf(png);
  const StopHandlers handlers;
  viewer_log = log;
  starting = true;
  const pid_t pid = StartViewer(command.c_str(), log);
  viewer_group = pid;
  if (const int sig = stop_signal.load()) EndViewerAndStop(sig);
  starting = false;
  std::string failure;
  if (pid == 0) {
    failure = "/bin/sh could not be started";
  } else {
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
  viewer_group = 0;
  if (!failure.empty()) {
    Note(log, "tepora: no plot: " + failure + "\n");
    std::cout.flush();
    std::cerr << "warning: the plot " << png << " could not be made; see " << kLog << std::endl;
  }
}

}  // namespace tepora
