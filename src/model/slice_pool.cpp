#include "slice_pool.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

// How long a thread that waits polls before it sleeps, µs: longer than the
// gap between two steps on a quiet machine (a few µs), so that consecutive
// steps run without a wake-up, and short beside the ~4 ms for which the
// system may put a thread off while another process holds the core.
constexpr double kSpinMicroseconds = 50;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Polls ready() for up to kSpinMicroseconds: whether it came true.
template <class Ready>
bool SpinFor(const Ready& ready) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double, std::micro>(kSpinMicroseconds));
  for (unsigned i = 1;; ++i) {
    if (ready()) return true;
    Pause();
    if (i % 64 == 0 && Clock::now() > end) return ready();
  }
}

}  // namespace

SlicePool::~SlicePool() {
  {
    std::lock_guard<std::mutex> lock(sleep_);
    stop_ = true;
  }
  next_step_.notify_all();
  for (std::thread& w : workers_) w.join();
}

void SlicePool::Grow(int workers) {
  try {
    while (int(workers_.size()) < workers)
      workers_.emplace_back(&SlicePool::Work, this, int(workers_.size()) + 1, generation_);
  } catch (const std::system_error&) {
    // No more threads to be had: the step runs on those there are.
  }
}

bool SlicePool::Take(int thread, std::uint64_t& ticket, int& run, int& runs) {
  ticket = ticket_.load();
  for (;;) {
    const std::uint32_t next = std::uint32_t(ticket);
    if (next == kClosed) return false;
    // Read after the ticket: the values of its step, or of a later one, in
    // which case the exchange below fails.
    const int n = runs_.load();
    if (thread >= threads_.load() || next >= std::uint32_t(n)) return false;
    if (ticket_.compare_exchange_weak(ticket, ticket + 1)) {
      run = int(next);
      runs = n;
      return true;
    }
  }
}

void SlicePool::Work(int thread, std::uint32_t seen) {
  for (;;) {
    const auto fresh = [&] { return stop_.load() || std::uint32_t(ticket_.load() >> 32) != seen; };
    if (!SpinFor(fresh)) {
      std::unique_lock<std::mutex> lock(sleep_);
      sleepers_.fetch_add(1);
      next_step_.wait(lock, fresh);
      sleepers_.fetch_sub(1);
    }
    if (stop_) return;
    std::uint64_t ticket;
    int run, runs;
    while (Take(thread, ticket, run, runs)) {
      fn_.load()(context_.load(), run, thread);
      if (finished_.fetch_add(1) + 1 == runs && caller_sleeps_.load()) {
        std::lock_guard<std::mutex> lock(sleep_);
        step_done_.notify_one();
      }
    }
    seen = std::uint32_t(ticket >> 32);
  }
}

void SlicePool::Run(int threads, int runs, RunFn fn, void* context) {
  std::unique_lock<std::mutex> mine(caller_, std::try_to_lock);
  if (mine && threads > 1 && runs > 1) Grow(threads - 1);
  if (!mine || threads <= 1 || runs <= 1 || workers_.empty()) {
    for (int r = 0; r < runs; ++r) fn(context, r, 0);
    return;
  }
  fn_ = fn;
  context_ = context;
  runs_ = runs;
  threads_ = std::min(threads, int(workers_.size()) + 1);
  finished_ = 0;
  ++generation_;
  ticket_.store(std::uint64_t(generation_) << 32);
  if (sleepers_.load() > 0) {
    std::lock_guard<std::mutex> lock(sleep_);
    next_step_.notify_all();
  }

  std::uint64_t ticket;
  int run, n;
  while (Take(0, ticket, run, n)) {
    fn(context, run, 0);
    finished_.fetch_add(1);
  }
  // Only runs a worker has begun are waited for.
  const auto done = [&] { return finished_.load() == runs; };
  if (!SpinFor(done)) {
    std::unique_lock<std::mutex> lock(sleep_);
    caller_sleeps_ = true;
    step_done_.wait(lock, done);
    caller_sleeps_ = false;
  }
  ticket_.store((std::uint64_t(generation_) << 32) | kClosed);
}

SlicePool& StepPool() {
  // Never destroyed: its workers sleep until the process ends, whichever
  // thread ends it.
  static SlicePool* pool = new SlicePool;
  return *pool;
}
