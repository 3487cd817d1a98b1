#include "whole_file.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <thread>

namespace {
std::atomic<bool> write_failed{false};

const char kTemporaryTag[] = ".tmp";

// A name beside the target that no other process or thread uses at the same
// time: the target's name, the tag, the process id, '_' and a thread tag.
std::string TemporaryName(const std::string& path) {
  const size_t thread_tag = std::hash<std::thread::id>()(std::this_thread::get_id());
  return path + kTemporaryTag + std::to_string(getpid()) + "_" + std::to_string(thread_tag);
}

// The writer's process id when `name` is a temporary name of `target`
// (the target's name, the tag, digits, '_', digits), else 0.
long TemporaryOwner(const std::string& name, const std::string& target) {
  const std::string prefix = target + kTemporaryTag;
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  const char* digits = name.c_str() + prefix.size();
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

bool WriteWhole(const std::string& path, const char* kind, const std::string& text) {
  const std::string tmp = TemporaryName(path);
  bool ok = false;
  if (FILE* f = std::fopen(tmp.c_str(), "wb")) {
    ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
  }
  if (!ok) {
    std::remove(tmp.c_str());
    std::cerr << "warning: " << kind << "::save(): couldn't write; file: " << path << std::endl;
    write_failed = true;
  }
  return ok;
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::filesystem::path target(path);
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  const std::string name = target.filename().string();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const long pid = TemporaryOwner(entry.path().filename().string(), name);
    if (pid != 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
      std::filesystem::remove(entry.path(), ec);
  }
}

bool AnyWriteFailed() { return write_failed; }

void ResetWriteFailures() { write_failed = false; }
