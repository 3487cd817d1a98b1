// Input that runs but is probably a unit mistake: one warning line each,
// naming the file, the entry and the likely mistake; the run goes on, since
// an unusual caster may mean every one of these values.
#pragma once

#include "control_points.h"
#include "settings_file.h"
#include "tepora.h"
#include "zones.h"

// Casting speeds (m/min), the ambient temperature, the material table's
// heat capacity and temperature scale, and, when `CP` holds points, their
// targets; for the optimiser (`searches`) also points in the mould or the
// air cooling, where no spray htc can move them.
void WarnImplausible(const vec& Techset, const SettingsFile& tech, const Tepora& P,
                     const char* table, const ControlPoints& CP, const CasterZones& zones,
                     bool searches);
