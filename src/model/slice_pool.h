// The worker threads that share the slices of a time step with the thread
// that runs the step. A step of the example strand lasts about 100 µs, so
// its threads meet ten thousand times a second: a worker that waits by
// spinning holds a core that another process may need, and a caller that
// waits for a worker the system has put off for a few milliseconds loses a
// hundred steps' time. Here the step is cut into more runs of slices than
// there are threads and every thread takes the next run that nobody has
// taken, the caller too, so a worker that is late or descheduled costs
// nothing but the runs it did not take; a thread that waits spins only a
// few tens of microseconds (the gap between two steps of a quiet machine)
// and then sleeps, so it never keeps a core from a process that has work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class SlicePool {
 public:
  // One run of a step: run `run` (0 .. runs-1) on thread `thread`
  // (0 the caller, 1 .. threads-1 the workers), with what the caller passed.
  using RunFn = void (*)(void* context, int run, int thread);

  SlicePool() = default;
  SlicePool(const SlicePool&) = delete;
  SlicePool& operator=(const SlicePool&) = delete;
  ~SlicePool();

  // Runs fn(context, r, t) once for every r in 0 .. runs-1, each on one of
  // `threads` threads (the caller and threads-1 workers), and returns when
  // all have returned. fn must not throw. A second caller while one is in
  // here (another thread's step) runs its runs itself, on thread 0.
  void Run(int threads, int runs, RunFn fn, void* context);

 private:
  // A worker's loop; `seen` the generation of the last step before it.
  void Work(int thread, std::uint32_t seen);
  void Grow(int workers);
  // Takes for `thread` the next run of the current step that nobody has
  // taken: whether there was one, its number and the step's count of runs;
  // `ticket` is left at the last value read.
  bool Take(int thread, std::uint64_t& ticket, int& run, int& runs);

  std::mutex caller_;  // held by the caller of the step in progress
  std::vector<std::thread> workers_;

  // The step in progress: generation << 32 | next run to take, the low half
  // kClosed between steps. A worker takes a run only by advancing the ticket
  // of the generation it read the step's values in, so it never mixes two
  // steps' values.
  static constexpr std::uint32_t kClosed = 0xffffffffu;
  std::atomic<std::uint64_t> ticket_{kClosed};
  std::atomic<RunFn> fn_{nullptr};
  std::atomic<void*> context_{nullptr};
  std::atomic<int> runs_{0}, threads_{0};
  std::atomic<int> finished_{0};  // runs of the step done
  std::uint32_t generation_ = 0;  // the caller's

  // Sleeping: workers wait for the next step, the caller for the last run.
  std::mutex sleep_;
  std::condition_variable next_step_, step_done_;
  std::atomic<int> sleepers_{0};
  std::atomic<bool> caller_sleeps_{false};
  std::atomic<bool> stop_{false};
};

// The process's pool, its workers started as steps first ask for them.
SlicePool& StepPool();
