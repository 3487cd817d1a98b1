// The caster's own spray zones designed from the mould down on the steady
// strand. The steel carries every change of the cooling downstream only
// (transport outruns axial conduction some 500 times on the example), so
// zone n's value changes nothing above it: the zones are designed one after
// another, each by a bracketing search on the steady solve of its own
// slices (and the unsprayed ones before it) under the strand above as it
// stands.
#pragma once

#include <string>
#include <vector>

#include "optimise/control_points.h"
#include "model/steady_strand.h"
#include "model/tepora.h"
#include "model/cooling.h"

namespace tepora {

// A target within this of its temperature is met: a surface pyrometer's
// resolution, and what the search promises where the limits allow.
const double kTargetToleranceK = 1.0;

// Highest spray htc the search tries where a zone states no bound of its
// own, W/(m^2 K): the dense mists of a billet's foot rolls reach about 2000.
const double kHighestSprayHtc = 3000.0;

// One target of the zone search, read on the final strand.
struct DesignTarget {
  int zone;         // spray zone (from 0) whose value serves it
  int point;        // control point (from 0), or -1 for the zone's target_surface_degC
  double z;         // m from the meniscus
  double target;    // degC
  double reading;   // degC, the surface (or the ring point) there
  double Deviation() const { return reading - target; }
  bool Met() const { return std::fabs(reading - target) <= kTargetToleranceK; }
};

// What the zone search did with one zone.
struct ZoneOutcome {
  double given = 0;     // the value the file gave, in the zone's unit
  double value = 0;     // the value found, in the zone's unit
  double htc = 0;       // the htc found, W/(m^2 K)
  double low = 0, high = 0;  // the bounds searched, in the zone's unit
  int targets = 0;      // targets the zone's value serves
  // What held the value off its targets (or moved an untargeted one): a
  // limit ("limits.surface_min_degC") or a bound ("spray[2].htc_max_W_m2K");
  // empty when nothing did.
  std::string held_by;
};

// A stated limit against the final strand.
struct LimitCheck {
  std::string key;   // "surface_min_degC", ...
  double limit;      // in the key's unit
  double value;      // the strand's figure, same unit
  double at_m;       // where it occurs, m (NaN when nowhere)
  bool kept;
};

// The figures of a strand a cooling table lists.
struct StrandFigures {
  double shell_exit_mm = NAN;   // solid shell at the mould's exit, mm
  double crater_end_m = NAN;    // m; +inf beyond the strand
  double surface_lowest = NAN;  // lowest surface below the mould, degC
  double surface_lowest_at = NAN;
  double surface_highest = NAN;  // highest surface below the mould, degC
  double surface_highest_at = NAN;
  double reheat_per_m = 0;      // largest rise over 1 m, K/m
  double reheat_from = NAN;     // start of its window, m
};

struct ZoneDesign {
  CasterZones zones;                  // the values found, in place (htc and water)
  std::vector<ZoneOutcome> outcome;   // one per spray zone
  std::vector<DesignTarget> targets;  // every target, on the final strand
  std::vector<int> unzoned;           // control points (from 0) in no spray zone
  std::vector<LimitCheck> limits;     // every stated limit, on the final strand
  StrandFigures figures;              // of the final strand
  SteadyStrand strand;                // the final strand, solved whole from the meniscus
  cube assembled;                     // the enthalpies the zone by zone solves left
  int solves = 0;                     // steady solves of a zone's slices
  std::vector<std::string> warnings;  // one line each, without "warning: "
};

// Designs the spray zones of `zones` on the model's grid, material and
// casting speed (P.vz), for the control points of CP (positions in m,
// checked against the grid) and the zones' targets, within the zones'
// bounds and the limits. P's cooling ends as the zones found. The points are
// scored on the surface by the rule of ReadsSurface. `caster` and `points`
// name the files in the warnings.
ZoneDesign DesignZones(Tepora& P, const CasterZones& zones, const ControlPoints& CP,
                       const char* caster, const char* points);

// The figures of the strand whose field P.T / P.H_final holds.
StrandFigures FiguresOf(Tepora& P, const CasterZones& zones);

// Every stated limit against figures f.
std::vector<LimitCheck> CheckLimits(const StrandLimits& limits, const StrandFigures& f);

// A zone's value in its own unit as the model's htc, W/(m^2 K).
double ZoneHtc(const CasterZones& zones, const SprayZone& z, double value, double radius);

}  // namespace tepora
