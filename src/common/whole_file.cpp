#include "common/whole_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

namespace tepora {

namespace {
std::atomic<bool> write_failed{false};
bool writes_files = true;

const char kTemporaryTag[] = ".tmp";

// Paths whose failed write has been warned in this run (scratch files).
std::mutex warned_mutex;
std::set<std::string> warned;

// The writer's process id when `name` is a temporary name of some target
// (the target's name, the tag, digits, '_', digits), else 0.
long TemporaryOwner(const std::string& name) {
  const size_t at = name.rfind(kTemporaryTag);
  if (at == std::string::npos || at == 0) return 0;
  const char* digits = name.c_str() + at + std::strlen(kTemporaryTag);
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || !std::isdigit((unsigned char)*digits) || *end != '_' || pid <= 0) return 0;
  for (const char* c = end + 1; *c; ++c)
    if (!std::isdigit((unsigned char)*c)) return 0;
  return end[1] ? pid : 0;
}

// " %24.16e": correctly rounded to 17 significant digits, right-aligned.
void AppendNumber(std::string& out, double x) {
  char buf[32];
  const char* text = buf;
  size_t n;
  if (std::isfinite(x)) {
    n = size_t(std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16).ptr - buf);
  } else {
    text = std::isinf(x) ? (x <= 0 ? "-inf" : "inf") : "nan";
    n = std::strlen(text);
  }
  out += ' ';
  if (n < 24) out.append(24 - n, ' ');
  out.append(text, n);
}

}  // namespace

std::string RawAsciiText(const arma::mat& m) {
  std::string out;
  out.reserve(m.n_elem * 25 + m.n_rows);
  for (arma::uword r = 0; r < m.n_rows; ++r) {
    for (arma::uword c = 0; c < m.n_cols; ++c) AppendNumber(out, m.at(r, c));
    out += '\n';
  }
  return out;
}

std::string ArmaAsciiText(const arma::cube& c) {
  std::string out = "ARMA_CUB_TXT_FN008\n" + std::to_string(c.n_rows) + ' ' +
                    std::to_string(c.n_cols) + ' ' + std::to_string(c.n_slices) + '\n';
  out.reserve(out.size() + c.n_elem * 25 + c.n_rows * c.n_slices);
  for (arma::uword s = 0; s < c.n_slices; ++s)
    for (arma::uword r = 0; r < c.n_rows; ++r) {
      for (arma::uword col = 0; col < c.n_cols; ++col) AppendNumber(out, c.at(r, col, s));
      out += '\n';
    }
  return out;
}

namespace {

// Writes all of `text` to `fd`, resuming after interruptions and partial
// writes (a file-size limit or a full disk end it with an error).
bool WriteAll(int fd, const std::string& text) {
  const char* at = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    left -= size_t(n);
  }
  return true;
}

// Removes the temporary only while its name still leads to the file this
// process created and holds open.
void RemoveOwn(int fd, const std::string& tmp) {
  struct stat own, named;
  if (fstat(fd, &own) == 0 && lstat(tmp.c_str(), &named) == 0 && own.st_dev == named.st_dev &&
      own.st_ino == named.st_ino)
    ::unlink(tmp.c_str());
}

// Creates this thread's temporary for `path` and names it in `tmp`; -1 when
// none can be created. O_EXCL with O_NOFOLLOW: a name taken by anything, a
// planted link included, is left alone and the next name tried.
int OpenTemporary(const std::string& path, std::string& tmp) {
  const int flags = O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC;
  int fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    tmp = TemporaryName(path, attempt);
    fd = ::open(tmp.c_str(), flags, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  return fd;
}

bool Write(const std::string& path, const char* kind, const std::string& text, bool warn_once) {
  if (!writes_files) return true;
  std::string tmp;
  const int fd = OpenTemporary(path, tmp);
  bool ok = false;
  if (fd >= 0) {
    ok = WriteAll(fd, text);
    ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) RemoveOwn(fd, tmp);
    ok = ::close(fd) == 0 && ok;
  }
  if (!ok) {
    write_failed = true;
    bool warn = true;
    if (warn_once) {
      const std::lock_guard<std::mutex> lock(warned_mutex);
      warn = warned.insert(path).second;
    }
    if (warn)
      std::cerr << "warning: " << kind << "::save(): couldn't write; file: " << path << std::endl;
  }
  return ok;
}

}  // namespace

std::string TemporaryName(const std::string& path, unsigned attempt) {
  const size_t thread_tag = std::hash<std::thread::id>()(std::this_thread::get_id());
  return path + kTemporaryTag + std::to_string(getpid()) + "_" +
         std::to_string(thread_tag + attempt);
}

bool WriteWhole(const std::string& path, const char* kind, const std::string& text) {
  return Write(path, kind, text, false);
}

int CreateFresh(const std::string& path) {
  std::string tmp;
  const int fd = OpenTemporary(path, tmp);
  if (fd < 0 || std::rename(tmp.c_str(), path.c_str()) == 0) return fd;
  RemoveOwn(fd, tmp);
  ::close(fd);
  return -1;
}

bool SaveScratch(const arma::cube& c, const std::string& path) {
  return Write(path, "Cube", ArmaAsciiText(c), true);
}

void RemoveStaleTemporaries(const std::string& dir) {
  const time_t old = time(nullptr) - 10 * 60;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const long pid = TemporaryOwner(entry.path().filename().string());
    struct stat st;
    if (pid <= 0 || pid > INT_MAX || lstat(entry.path().c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode) || st.st_mtime >= old)
      continue;
    if (kill(pid_t(pid), 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());
  }
}

void WriteNoFiles() { writes_files = false; }
bool WritesFiles() { return writes_files; }

bool AnyWriteFailed() { return write_failed; }

void ResetWriteFailures() {
  write_failed = false;
  const std::lock_guard<std::mutex> lock(warned_mutex);
  warned.clear();
}

}  // namespace tepora
