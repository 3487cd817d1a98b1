// Whether the steps of a run split their slices across their threads or
// leave them to one, chosen by timing both: a second thread only helps
// while it has a core to itself, and on a machine where another process
// holds that core the step is quicker on one. Every so often the steps
// time a window on all threads and one on one; all threads are chosen if
// their steps took less than kTeamGain of one thread's, one otherwise, and
// the choice holds for a number of windows, twice as many each time the
// timing confirms it, so that the timing itself costs little and a change
// of the machine's load is seen within a second or so. While all threads
// hold and their window takes no longer than when they were last timed
// against one (within kSameLoad), the machine is as it was and one thread
// is not timed again. Which it is never
// changes a result: a step is bit for bit the same on any number of
// threads.
#pragma once

#include <algorithm>

namespace tepora {

class ThreadChoice {
 public:
  // A window: this many steps at least, and this long, s (long beside the
  // few milliseconds for which the system gives a core to one process).
  static constexpr int kWindowSteps = 3;
  static constexpr double kWindowSeconds = 0.005;
  // All threads must take at most this fraction of one thread's time.
  static constexpr double kTeamGain = 0.9;
  // A window on all threads at most this much slower than the last one
  // finds the machine as it was.
  static constexpr double kSameLoad = 1.1;
  // Windows a choice holds after its first timing and at most.
  static constexpr int kFirstHold = 8, kLongestHold = 64;

  // Up to `threads` threads, chosen by timing; Fixed: always `threads`.
  explicit ThreadChoice(int threads = 1) : most_(std::max(threads, 1)) {}
  static ThreadChoice Fixed(int threads) {
    ThreadChoice c(threads);
    c.timed_ = false;
    return c;
  }

  // Threads for the next step.
  int Threads() const { return all_ ? most_ : 1; }
  // Seconds the split part of that step took.
  void Took(double seconds) {
    if (most_ <= 1 || !timed_) return;
    if (phase_ == kHold) {
      if (--hold_steps_ <= 0) {
        phase_ = kTimeAll;
        all_ = true;
      }
      return;
    }
    sum_ += seconds;
    if (++steps_ < kWindowSteps || sum_ < kWindowSeconds) return;
    const double mean = sum_ / double(steps_);
    const long window = steps_;
    sum_ = 0;
    steps_ = 0;
    if (phase_ == kTimeAll) {
      if (held_all_ && mean <= kSameLoad * all_mean_) {
        Hold(true, window);
      } else {
        all_mean_ = mean;
        phase_ = kTimeOne;
        all_ = false;
      }
      return;
    }
    Hold(all_mean_ < kTeamGain * mean, window);
  }

 private:
  enum Phase { kTimeAll, kTimeOne, kHold };

  // All threads or one for the windows of the hold, of `window` steps each.
  void Hold(bool all, long window) {
    hold_ = all == held_all_ ? std::min(2 * hold_, kLongestHold) : kFirstHold;
    held_all_ = all;
    all_ = all;
    phase_ = kHold;
    hold_steps_ = hold_ * window;
  }

  int most_;
  bool timed_ = true;
  bool all_ = true;       // the next step on all threads
  Phase phase_ = kTimeAll;
  double sum_ = 0;        // s, of the window's steps so far
  long steps_ = 0;
  double all_mean_ = 0;   // s a step on all threads, when last timed against one
  int hold_ = kFirstHold / 2;
  bool held_all_ = false;  // the choice that holds or held last, timed against one
  long hold_steps_ = 0;
};

}  // namespace tepora
