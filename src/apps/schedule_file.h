// Input/Schedule.csv: the casting schedule of a run, read and checked
// before anything is written.
#pragma once

#include <optional>
#include <string>

#include "model/material.h"
#include "model/schedule.h"

namespace tepora {

// The schedule at `path`, or none when the file does not exist. A header
// row names the columns: time_s (s from the start of the run), speed_m_min
// (m/min), optionally casting_degC (degC) and sprayN_factor (multiplies
// spray zone N's htc, dimensionless); one row of numbers per moment. Stops
// with one line naming the row and the column for rows out of time order,
// negative speeds or factors, unknown or repeated columns, a zone the caster
// does not have (zones: how many spray zones it has), or a non-number.
std::optional<Schedule> ReadSchedule(const std::string& path, size_t zones);

// Stops with one line naming the row when a casting temperature of the
// schedule lies outside the material table or at or below the solidus its
// latent heat shows: the steel entering must be liquid and within the table.
void CheckCastingTemperatures(const Schedule& s, const Material& material, const std::string& path);

}  // namespace tepora
