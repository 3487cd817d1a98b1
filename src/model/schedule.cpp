// The schedule read at a moment, and the model set to it.
#include "model/schedule.h"

#include <algorithm>
#include <cmath>

namespace tepora {

// Value of one column at t between rows r and r + 1, fraction x along.
static double Between(const std::vector<double>& v, size_t r, double x) {
  return v[r] + x * (v[r + 1] - v[r]);
}

CastingMoment Schedule::At(double t) const {
  CastingMoment now;
  const size_t n = time_s.size();
  size_t r = 0;
  double x = 0.0;
  if (n > 1 && t >= time_s.back()) {
    r = n - 2;
    x = 1.0;
  } else if (n > 1 && t > time_s.front()) {
    r = size_t(std::upper_bound(time_s.begin(), time_s.end(), t) - time_s.begin()) - 1;
    x = (t - time_s[r]) / (time_s[r + 1] - time_s[r]);
  }
  // x = 1 reads the last row itself, not a sum that may round away from it.
  const auto read = [&](const std::vector<double>& v) {
    return n == 1 || x == 0.0 ? v[r] : x == 1.0 ? v[r + 1] : Between(v, r, x);
  };
  now.speed = read(speed);
  now.casting = casting.empty() ? NAN : read(casting);
  for (const std::vector<double>& f : factor) now.factor.push_back(f.empty() ? 1.0 : read(f));
  return now;
}

CastingMoment Schedule::Highest() const {
  CastingMoment top;
  top.speed = *std::max_element(speed.begin(), speed.end());
  top.casting = casting.empty() ? NAN : *std::max_element(casting.begin(), casting.end());
  for (const std::vector<double>& f : factor)
    top.factor.push_back(f.empty() ? 1.0 : *std::max_element(f.begin(), f.end()));
  return top;
}

ScheduleFollower::ScheduleFollower(const Schedule& s, const StrandModel& m,
                                   std::vector<int> zone_of_slice)
    : schedule_(s), base_(m.cooling.CoolM), casting_(m.T_in),
      zone_of_slice_(std::move(zone_of_slice)) {}

void ScheduleFollower::Apply(StrandModel& m, const CastingMoment& now) const {
  m.vz = now.speed;
  m.T_in = std::isnan(now.casting) ? casting_ : now.casting;
  for (size_t k = 0; k < zone_of_slice_.size(); ++k) {
    const int z = zone_of_slice_[k];
    if (z < 0 || size_t(z) >= now.factor.size()) continue;
    const double f = now.factor[size_t(z)];
    for (uword j = 0; j < base_.n_rows; ++j) m.cooling.CoolM(j, k) = base_(j, k) * f;
  }
}

}  // namespace tepora
