#include "model/slice_pool.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace tepora {

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

SlicePool::SlicePool() : blocks_(new Block[kMaxThreads]) {}

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
      workers_.emplace_back(&SlicePool::Work, this, int(workers_.size()) + 1,
                            generation_.load());
  } catch (const std::system_error&) {
    // No more threads to be had: the step runs on those there are.
  }
}

namespace {

std::uint64_t BlockState(std::uint32_t generation, int front, int back) {
  return std::uint64_t(generation) << 32 | std::uint64_t(front) << 16 | std::uint64_t(back);
}

}  // namespace

bool SlicePool::Take(int thread, int threads, std::uint32_t generation, int& run) {
  for (int i = 0; i < threads; ++i) {
    Block& block = blocks_[(thread + i) % threads];
    std::uint64_t state = block.state.load();
    for (;;) {
      if (std::uint32_t(state >> 32) != generation) break;
      const int front = int(state >> 16 & 0xffff), back = int(state & 0xffff);
      if (front >= back) break;
      // Its own block from the front, the others' from the back.
      const std::uint64_t taken = i == 0 ? state + (1u << 16) : state - 1;
      if (block.state.compare_exchange_weak(state, taken)) {
        run = i == 0 ? front : back - 1;
        return true;
      }
    }
  }
  return false;
}

void SlicePool::Work(int thread, std::uint32_t seen) {
  for (;;) {
    const auto fresh = [&] { return stop_.load() || generation_.load() != seen; };
    if (!SpinFor(fresh)) {
      std::unique_lock<std::mutex> lock(sleep_);
      sleepers_.fetch_add(1);
      next_step_.wait(lock, fresh);
      sleepers_.fetch_sub(1);
    }
    if (stop_) return;
    seen = generation_.load();
    // The step's values, read after its generation: a later step's only
    // where that step is over, and then no run of it is left to take.
    const int threads = std::min(threads_.load(), kMaxThreads), runs = runs_.load();
    const RunFn fn = fn_.load();
    void* const context = context_.load();
    if (thread >= threads) continue;
    int run, done = 0;
    while (Take(thread, threads, seen, run)) {
      fn(context, run, thread);
      ++done;
    }
    if (done > 0 && finished_.fetch_add(done) + done == runs && caller_sleeps_.load()) {
      std::lock_guard<std::mutex> lock(sleep_);
      step_done_.notify_one();
    }
  }
}

void SlicePool::Run(int threads, int runs, RunFn fn, void* context) {
  std::unique_lock<std::mutex> mine(caller_, std::try_to_lock);
  threads = std::min({threads, runs, kMaxThreads});
  if (mine && threads > 1) {
    Grow(threads - 1);
    threads = std::min(threads, int(workers_.size()) + 1);
  }
  // A block holds its runs' numbers in 16 bits.
  if (!mine || threads <= 1 || runs > 0xffff) {
    for (int r = 0; r < runs; ++r) fn(context, r, 0);
    return;
  }
  std::uint32_t generation = generation_.load() + 1;
  if (generation == 0) generation = 1;  // the blocks' state before any step
  fn_ = fn;
  context_ = context;
  runs_ = runs;
  threads_ = threads;
  finished_ = 0;
  for (int b = 0; b < threads; ++b)
    blocks_[b].state = BlockState(generation, int(long(runs) * b / threads),
                                  int(long(runs) * (b + 1) / threads));
  generation_ = generation;
  if (sleepers_.load() > 0) {
    std::lock_guard<std::mutex> lock(sleep_);
    next_step_.notify_all();
  }

  int run, done = 0;
  while (Take(0, threads, generation, run)) {
    fn(context, run, 0);
    ++done;
  }
  finished_.fetch_add(done);
  // Only runs a worker has begun are waited for.
  const auto all = [&] { return finished_.load() == runs; };
  if (!SpinFor(all)) {
    std::unique_lock<std::mutex> lock(sleep_);
    caller_sleeps_ = true;
    step_done_.wait(lock, all);
    caller_sleeps_ = false;
  }
}

SlicePool& StepPool() {
  // Never destroyed: its workers sleep until the process ends, whichever
  // thread ends it.
  static SlicePool* pool = new SlicePool;
  return *pool;
}

}  // namespace tepora
