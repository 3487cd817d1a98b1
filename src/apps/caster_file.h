// Input/Caster.toml: the caster as the plant has it, the mould, the spray
// zones and the air cooling along the strand, and the steel's solidus and
// liquidus. The file is optional; without it the zones are the model's
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

// One warning line for each spray zone that covers no slice: `covered`
// holds the slice count of every zone.
void WarnEmptyZones(const char* path, const CasterZones& zones, const std::vector<int>& covered);

}  // namespace tepora
