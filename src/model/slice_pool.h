// The worker threads that share the slices of a time step with the thread
// that runs the step. A step of the example strand lasts about 100 µs, so
// its threads meet ten thousand times a second: a worker that waits by
// spinning holds a core that another process may need, and a caller that
// waits for a worker the system has put off for a few milliseconds loses a
// hundred steps' time. Here every thread has a block of runs of slices, the
// same block step after step so that its slices stay in its core's cache,
// and takes them from the front; a thread that has finished its own takes
// the last runs of the others' blocks. So a worker that is late or
// descheduled costs nothing but the runs it did not take, which the others
// do, and a thread that waits polls only a few tens of microseconds (the gap
// between two steps on a quiet machine) and then sleeps, so it never keeps a
// core from a process that has work.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tepora {

class SlicePool {
 public:
  // One run of a step: run `run` (0 .. runs-1) on thread `thread`
  // (0 the caller, 1 .. threads-1 the workers), with what the caller passed.
  using RunFn = void (*)(void* context, int run, int thread);

  // Threads a step is shared among at most, the caller's included.
  static constexpr int kMaxThreads = 256;

  SlicePool();
  SlicePool(const SlicePool&) = delete;
  SlicePool& operator=(const SlicePool&) = delete;
  ~SlicePool();

  // Runs fn(context, r, t) once for every r in 0 .. runs-1, each on one of
  // `threads` threads (the caller and threads-1 workers), and returns when
  // all have returned; thread t's own runs are the t-th of `threads` equal
  // blocks of 0 .. runs-1 (up to 65535 runs; more all run on the caller).
  // fn must not throw. A second caller while one is in here (another
  // thread's step) runs its runs itself, on thread 0.
  void Run(int threads, int runs, RunFn fn, void* context);

 private:
  // A block of runs: generation << 32 | front << 16 | back, the runs
  // front .. back-1 not yet taken. A thread takes a run only by changing a
  // block of the generation it read the step's values in, so it never
  // mixes two steps' values; on its own cache line.
  struct alignas(64) Block {
    std::atomic<std::uint64_t> state{0};
  };

  // A worker's loop; `seen` the generation of the last step before it.
  void Work(int thread, std::uint32_t seen);
  void Grow(int workers);
  // Takes for `thread` a run of the step of `generation` that nobody has
  // taken, its own block's first, else another's last: whether there was one.
  bool Take(int thread, int threads, std::uint32_t generation, int& run);

  std::mutex caller_;  // held by the caller of the step in progress
  std::vector<std::thread> workers_;
  std::unique_ptr<Block[]> blocks_;

  // The step in progress; its generation last, once its blocks are set.
  std::atomic<RunFn> fn_{nullptr};
  std::atomic<void*> context_{nullptr};
  std::atomic<int> runs_{0}, threads_{0};
  std::atomic<int> finished_{0};  // runs of the step done
  std::atomic<std::uint32_t> generation_{0};

  // Sleeping: workers wait for the next step, the caller for the last run.
  std::mutex sleep_;
  std::condition_variable next_step_, step_done_;
  std::atomic<int> sleepers_{0};
  std::atomic<bool> caller_sleeps_{false};
  std::atomic<bool> stop_{false};
};

// The process's pool, its workers started as steps first ask for them.
SlicePool& StepPool();

}  // namespace tepora
