// Input/Caster.toml: the caster as the plant has it, the mould, the spray
// zones and the air cooling along the strand, and the steel's solidus and
// liquidus, how a water flow gives a zone's htc ([sprays]) and the limits
// the strand must keep ([limits]). The file is optional; without it the zones are the model's
// defaults.
#pragma once

#include <vector>

#include "model/cooling.h"

namespace tepora {

// The zones the file at `path` states, checked against a strand of
// `strand_length` m: stops with bad input (one line naming the file, the
// key and what was expected) on a syntax error, an unknown table or key, a
// value that is not a number, negative lengths or htcs, zones out of order,
// overlapping, inside the mould or beyond the strand or the air cooling,
// and a solidus not below the liquidus. `present` tells whether the file
// exists; a missing file gives the defaults.
CasterZones LoadCaster(const char* path, double strand_length, bool& present);

// The htc of every zone that states its water flow, from the [sprays]
// correlation on a strand of `radius` m; one warning line for each whose
// water-flux density lies outside the correlation's range.
void SetWaterHtcs(const char* path, CasterZones& zones, double radius);

// That warning for spray zone n (from 0) at a water flow of `flow` l/min.
void WarnWaterFlux(const char* path, const CasterZones& zones, size_t n, double radius,
                   double flow);

// One warning line for each spray zone that covers no slice: `covered`
// holds the slice count of every zone.
void WarnEmptyZones(const char* path, const CasterZones& zones, const std::vector<int>& covered);

}  // namespace tepora
