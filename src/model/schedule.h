// A casting schedule: the speed, the casting temperature and the spray
// zones' factors over time, read between the rows on straight lines and
// held after the last; and the hook through which a run of steps follows it.
#pragma once

#include <cstddef>
#include <vector>

#include "model/strand_model.h"

namespace tepora {

// The casting variables at one moment.
struct CastingMoment {
  double speed = 0.0;    // casting speed, m/s
  double casting = 0.0;  // casting temperature, degC (NaN: the settings' own)
  std::vector<double> factor;  // multiplier of spray zone n's htc (index n - 1), 1 when not given
};

struct Schedule {
  std::vector<double> time_s;   // s from the start of the run, rising
  std::vector<double> speed;    // m/s, one per row
  std::vector<double> casting;  // degC per row; empty when the file has no such column
  // Per spray zone (index n - 1) one factor per row; empty for a zone the
  // file leaves at its own htc.
  std::vector<std::vector<double>> factor;

  // The moment t (s): straight lines between the rows, the first row
  // before it and the last held after it. Two rows of one value give that
  // value exactly, so a schedule that holds a speed steps as a run without one.
  CastingMoment At(double t) const;
  double End() const { return time_s.empty() ? 0.0 : time_s.back(); }
  // The highest speed (m/s) and the highest factor of each zone, for the
  // stability estimate: the explicit step must hold at the schedule's worst moment.
  CastingMoment Highest() const;
};

// What a run of steps calls around each step (see Tepora::StepsFrom): the
// casting variables of the moment before it, the results of the field after.
struct RunHook {
  virtual ~RunHook() = default;
  // Before step p (at p dtau s of casting time): the model's speed, casting
  // temperature and cooling of that moment.
  virtual void Before(StrandModel& m, int p) = 0;
  // After step p, with H the enthalpy of the field it left.
  virtual void After(StrandModel& m, const cube& H, int p) = 0;
};

// Sets the model's speed, casting temperature and the htc of every slice
// of a spray zone to a moment of the schedule, against the htcs the zones
// gave the grid when the follower was made.
class ScheduleFollower {
 public:
  // zone_of_slice: the spray zone (index) each slice's centre lies in, -1 for none.
  ScheduleFollower(const Schedule& s, const StrandModel& m, std::vector<int> zone_of_slice);
  void Apply(StrandModel& m, const CastingMoment& now) const;
  void Apply(StrandModel& m, double t) const { Apply(m, schedule_.At(t)); }
  const Schedule& schedule() const { return schedule_; }

 private:
  Schedule schedule_;
  mat base_;                        // the zones' own htcs per sector and slice, W/(m^2 K)
  double casting_;                  // the settings' casting temperature, degC
  std::vector<int> zone_of_slice_;
};

}  // namespace tepora
