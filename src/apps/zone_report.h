// What tepora-opt reports after designing the caster's spray zones: the
// zones with their given and chosen values in their own units, the
// targets met and missed, the limits and what held each zone
// (TeporaOut/OptReport.json and a console table), and the caster with them
// as a whole case file (TeporaOut/OptimalSprays.toml).
#pragma once

#include "optimise/control_points.h"
#include "model/tepora.h"
#include "optimise/zone_design.h"

namespace tepora {

// Prints the zone search's warnings, each on one line, in the order found.
void WarnDesign(const ZoneDesign& d, const std::string& prefix = "");

// `given` the zones as read; P holds the final strand of the search (P.T, P.H_final);
// CP the points as read (positions in m).
void ReportZoneDesign(const ZoneDesign& d, const CasterZones& given, Tepora& P,
                      const ControlPoints& CP, const char* caster);

// The zone's value as the console shows it: to 0.1 in its unit, with the unit.
std::string ZoneValueText(const SprayZone& z, double value);

}  // namespace tepora
