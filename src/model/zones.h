// The cooling zones of a caster along the strand.
#pragma once

#include <cmath>
#include <limits>
#include <vector>

#include "spray_water.h"

const double kPi = 3.141592653589793;

// The caster's zones where no case file sets them: a mould of 1 m whose
// wall takes 2000 W/(m^2 K) against 80 degC, and an air-cooled end of 5 m.
const double kMouldLength = 1.0;      // m from the inlet
const double kMouldHtc = 2000.0;      // W/(m^2 K)
const double kMouldCoolant = 80.0;    // degC
const double kAirCooledLength = 5.0;  // m before the end of the modelled length

// One spray zone: its htc acts on the slices whose centres lie in [from, to).
struct SprayZone {
  double from_m;  // m from the inlet
  double to_m;    // m from the inlet
  double htc;     // W/(m^2 K), the zone's mean over its surface (from the water flow when given)
  // The plant's water flow of the zone, l/min; NaN when the zone states its htc.
  double water_l_min = std::numeric_limits<double>::quiet_NaN();
  // Length of strand the nozzles wet, m (NaN: the whole zone), and the share
  // of the circumference they wet, 0..1.
  double sprayed_length_m = std::numeric_limits<double>::quiet_NaN();
  double wetted_fraction = 1.0;
  // Surface temperature the design aims at in the zone's last slice, degC; NaN: none.
  double target_surface = std::numeric_limits<double>::quiet_NaN();
  // Bounds of the design's value in the zone's own unit (htc W/(m^2 K), or
  // water l/min when the zone states a flow); NaN: not stated.
  double low = std::numeric_limits<double>::quiet_NaN();
  double high = std::numeric_limits<double>::quiet_NaN();

  bool ByWater() const { return !std::isnan(water_l_min); }
  // The zone's value in its own unit: the water flow, else the htc.
  double Value() const { return ByWater() ? water_l_min : htc; }
};

// What the strand must keep whatever the targets ask; NaN: not stated.
struct StrandLimits {
  double surface_min = std::numeric_limits<double>::quiet_NaN();  // degC, below the mould
  double surface_max = std::numeric_limits<double>::quiet_NaN();  // degC, below the mould
  double reheat_max = std::numeric_limits<double>::quiet_NaN();   // K/m, rise over 1 m
  double crater_end_max = std::numeric_limits<double>::quiet_NaN();  // m from the meniscus
  bool Any() const {
    return !std::isnan(surface_min) || !std::isnan(surface_max) || !std::isnan(reheat_max) ||
           !std::isnan(crater_end_max);
  }
};

struct CasterZones {
  double mould_length = kMouldLength;  // m from the inlet
  double mould_htc = kMouldHtc;        // W/(m^2 K), against the coolant
  double coolant = kMouldCoolant;      // degC
  std::vector<SprayZone> sprays;       // in order along the strand
  // Start of the air cooling, m from the inlet; NaN: kAirCooledLength
  // before the end of the modelled length.
  double air_from = std::numeric_limits<double>::quiet_NaN();
  // Solidus and liquidus of the steel, degC; NaN when not stated.
  double solidus = std::numeric_limits<double>::quiet_NaN();
  double liquidus = std::numeric_limits<double>::quiet_NaN();
  // Solid fraction of the steel on the axis at which the crater ends, 0..1
  // (1: the axis wholly solid; plants that place soft reduction by a solid
  // fraction state theirs, such as 0.7 or 0.9).
  double crater_solid_fraction = 1.0;
  SprayWater water;     // how a zone's water flow gives its htc ([sprays])
  bool water_stated = false;  // the file has a [sprays] table
  StrandLimits limits;  // [limits]
};
