// The heat a spray zone's water takes from the strand: the water-flux
// density on the wetted surface gives the htc by a published correlation.
//
// Nozaki, Matsuno, Murata, Ooi and Kodama, Trans. ISIJ 18 (1978) 330-338:
//   h = 1570 W^0.55 (1 - 0.0075 T_w) / alpha   W/(m^2 K),
// W the water-flux density in l/(m^2 s), T_w the water temperature in degC
// and alpha an empirical factor by which the plant's strand took less heat
// than the laboratory's plate (4 in that work). The same formula without
// the factor is the laboratory correlation as Shimada and Mitsutsuka
// published it. Both were measured for flux densities of about 1 to
// 10 l/(m^2 s); a flux outside that range is warned of, the formula used as
// it stands.
#pragma once

#include <string>

namespace tepora {

enum class WaterCorrelation { Nozaki, ShimadaMitsutsuka };

// Flux densities the correlations were measured over, l/(m^2 s).
const double kWaterFluxLow = 1.0;
const double kWaterFluxHigh = 10.0;

struct SprayWater {
  WaterCorrelation correlation = WaterCorrelation::Nozaki;
  double water_degC = 30.0;  // spray water temperature, degC
  double alpha = 4.0;        // Nozaki's factor, dimensionless (not used by Shimada-Mitsutsuka)
};

// The names [sprays] correlation accepts.
const char* CorrelationName(WaterCorrelation c);

// htc of the wetted surface under a water-flux density W, l/(m^2 s), W/(m^2 K).
double WaterFluxHtc(const SprayWater& w, double W);

// Water-flux density on the wetted surface, l/(m^2 s): a flow of
// `flow_l_min` l/min over `sprayed_m` m of strand of radius `radius_m` m,
// on `wetted` of its circumference.
double WaterFluxDensity(double flow_l_min, double sprayed_m, double radius_m, double wetted);

// The zone's htc, W/(m^2 K): the wetted surface's, times the wetted share of
// the zone's surface (wetted x sprayed / zone length). The model gives one
// htc to every sector and slice of a zone, and what shapes the shell is the
// heat the zone takes over its surface, so the mean over the zone stands for
// the nozzles' footprints; the dry part's radiation and convection, which
// every sprayed slice adds to its htc, are not counted twice.
double ZoneWaterHtc(const SprayWater& w, double flow_l_min, double sprayed_m, double zone_m,
                    double radius_m, double wetted);

}  // namespace tepora
