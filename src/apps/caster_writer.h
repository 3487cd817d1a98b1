// A caster file written back from its zones: the whole Input/Caster.toml a
// design gives, which tepora-sim and tepora-opt read as they read the plant's.
#pragma once

#include <string>

#include "model/cooling.h"

namespace tepora {

// Every table and key the zones state, each value in full (the shortest
// text that reads back as the same double), after the comment lines of
// `comment` (each line prefixed with "# ").
std::string CasterToml(const CasterZones& zones, const std::string& comment);

}  // namespace tepora
