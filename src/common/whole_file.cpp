#include "whole_file.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

namespace {
std::atomic<bool> write_failed{false};

// A name beside the target that no other process or thread uses at the same time.
std::string TemporaryName(const std::string& path) {
  const size_t thread_tag = std::hash<std::thread::id>()(std::this_thread::get_id());
  return path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(thread_tag);
}
}  // namespace

bool WriteWhole(const std::string& path, const char* kind,
                const std::function<bool(std::ostream&)>& write) {
  const std::string tmp = TemporaryName(path);
  bool ok = false;
  {
    std::ofstream os(tmp, std::ios::binary | std::ios::trunc);
    if (os.is_open()) {
      ok = write(os);
      os.flush();
      ok = ok && os.good();
    }
  }
  if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::remove(tmp.c_str());
    std::cerr << "warning: " << kind << "::save(): couldn't write; file: " << path << std::endl;
    write_failed = true;
  }
  return ok;
}

bool AnyWriteFailed() { return write_failed; }

void ResetWriteFailures() { write_failed = false; }
