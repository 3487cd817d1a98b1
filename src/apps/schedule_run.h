// A transient run that follows a casting schedule and keeps its history:
// TeporaOut/History.csv at every interval of casting time, and the extremes
// over the schedule for the summary.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/schedule.h"
#include "model/tepora.h"
#include "optimise/control_points.h"

namespace tepora {

// The history's interval where Caster.toml's [schedule] history_s does not
// set one, s of casting time: a ladle change or a speed step moves the
// crater end over minutes, which rows 10 s apart follow.
const double kHistoryInterval = 10.0;

class ScheduledRun : public RunHook {
 public:
  // The model's cooling as its zones set it (the factors multiply those
  // htcs); solidus and liquidus in degC (NaN: not known), crater_fraction
  // the axis's solid fraction at the crater end, interval_s the history's
  // interval (s).
  ScheduledRun(Tepora& P, const Schedule& s, const CasterZones& zones, const ControlPoints& CP,
               double solidus, double liquidus, double interval_s);
  void Before(StrandModel& m, int p) override;
  void After(StrandModel& m, const cube& H, int p) override;
  // The model set to the moment t (s): the start's steady strand, the stability estimate.
  void SetTo(double t) { follower_.Apply(P_, t); }
  void SetToHighest() { follower_.Apply(P_, follower_.schedule().Highest()); }
  // Writes TeporaOut/History.csv whole (rows so far).
  void WriteHistory() const;
  // The extremes over the run as (key, value) pairs for Summary.json.
  std::vector<std::pair<std::string, double>> Extremes() const;
  // The history row of the model's current field at casting time t (s).
  void Record(double t);

 private:
  Tepora& P_;
  ScheduleFollower follower_;
  double solidus_, liquidus_, crater_fraction_, interval_;
  struct Point {
    uword j, k;
    double r;
  };
  std::vector<Point> points_;  // the control points inside the grid
  std::vector<std::vector<double>> rows_;
};

}  // namespace tepora
