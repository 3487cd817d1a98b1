// The state of a strand: temperature and enthalpy of every cell, and the
// text format the fields are saved in.
#pragma once

#include <istream>
#include <string>

#include "common/headers.h"

namespace tepora {

struct Field {
  cube T;  // temperature of every cell, degC; ndr x ndphi x ndz
  // Enthalpy of every cell after the last run of the simulator (Compute),
  // J/m^3: where the fronts lie inside the rings, which T alone does not
  // tell where the table releases latent heat at one temperature.
  cube H_final;
  // T a while before the end of a run (see Tepora::snapshot_step), degC:
  // the field the steadiness check compares the last one with.
  cube snapshot;
};

// Parses a field in the text format the solvers save it in ("ARMA_CUB_TXT_FN008",
// the rows, columns and slices, then the values slice by slice, row by row).
// Returns false with the reason when the text is not such a field; leaves
// `field` empty when its dimensions differ from the expected ones, without
// reading its values.
bool ParseSavedField(std::istream& in, uword rows, uword cols, uword slices, cube& field,
                     std::string& why);

}  // namespace tepora
