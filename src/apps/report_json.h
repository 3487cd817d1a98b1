// Pieces the programs' JSON reports share: a number that may be missing,
// and the strand's columns the optimiser's plot reads.
#pragma once

#include <nlohmann/json.hpp>

#include "model/tepora.h"

namespace tepora {

// A finite number as itself, a NaN or infinity as null: JSON has neither.
nlohmann::json Number(double x);

// The strand of the model's current field slice by slice, one array per
// column of TeporaOut/Strand.csv (z, surface minimum, mean and maximum,
// axis, solidus and liquidus shells), for the given melting range, degC.
nlohmann::json StrandColumns(Tepora& P, double solidus, double liquidus);

}  // namespace tepora
