// Input that runs but is probably a unit mistake: one warning line each,
// naming the file, the entry and the likely mistake; the run goes on, since
// an unusual caster may mean every one of these values.
#pragma once

#include "optimise/control_points.h"
#include "model/cooling.h"
#include "common/settings_file.h"
#include "model/tepora.h"

namespace tepora {

// Casting speeds (m/min), the ambient temperature, the material table's
// heat capacity and temperature scale, the casting temperature against the
// liquidus, the melting range of `caster`'s [steel] against the table's,
// htcs in kW/(m^2 K), a coolant in kelvin, and, when `CP` holds points,
// their targets; for the optimiser (`searches`) also points in the mould or
// the air cooling, where no spray htc can move them (its spray htcs are its
// own, so the file's are not judged).
void WarnImplausible(const vec& Techset, const SettingsFile& tech, const Tepora& P,
                     const char* table, const char* caster, const ControlPoints& CP,
                     const CasterZones& zones, bool searches);

}  // namespace tepora
