#include "model/spray_water.h"

#include <cmath>

#include "model/grid.h"

namespace tepora {

const char* CorrelationName(WaterCorrelation c) {
  return c == WaterCorrelation::Nozaki ? "nozaki" : "shimada-mitsutsuka";
}

double WaterFluxHtc(const SprayWater& w, double W) {
  const double h = 1570.0 * std::pow(W, 0.55) * (1.0 - 0.0075 * w.water_degC);
  return w.correlation == WaterCorrelation::Nozaki ? h / w.alpha : h;
}

double WaterFluxDensity(double flow_l_min, double sprayed_m, double radius_m, double wetted) {
  return flow_l_min / 60.0 / (sprayed_m * (2.0 * kPi * radius_m) * wetted);
}

double ZoneWaterHtc(const SprayWater& w, double flow_l_min, double sprayed_m, double zone_m,
                    double radius_m, double wetted) {
  const double W = WaterFluxDensity(flow_l_min, sprayed_m, radius_m, wetted);
  return WaterFluxHtc(w, W) * (wetted * sprayed_m / zone_m);
}

}  // namespace tepora
