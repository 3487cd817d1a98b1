// The cooling zones of a caster along the strand.
#pragma once

#include <limits>
#include <vector>

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
  double htc;     // W/(m^2 K)
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
};
