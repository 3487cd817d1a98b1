// Reads a casting schedule: a header of named columns, rows of numbers.
#include "apps/schedule_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/errors.h"
#include "common/numeric_text.h"

namespace tepora {

static std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, ',')) {
    const size_t a = cell.find_first_not_of(" \t\r"), b = cell.find_last_not_of(" \t\r");
    cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  if (!line.empty() && line.back() == ',') cells.push_back("");
  return cells;
}

std::optional<Schedule> ReadSchedule(const std::string& path, size_t zones) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw InputError(path + ": cannot be read (" + std::strerror(errno) + ")");
  }
  if (stat(path.c_str(), &st) != 0)
    throw InputError(path + ": is a symbolic link to a file that does not exist; expected the "
                            "casting schedule");
  if (!S_ISREG(st.st_mode)) throw InputError(path + ": is not a regular file; expected the casting schedule");
  std::ifstream in(path);
  if (!in) throw InputError(path + ": cannot be read (" + std::strerror(errno) + ")");

  // What each column fills: 0 time, 1 speed, 2 casting, 3 + n zone n's factor.
  std::string line;
  if (!std::getline(in, line))
    throw InputError(path + ": is empty; expected a header row naming time_s and speed_m_min");
  const std::vector<std::string> names = Cells(line);
  std::vector<size_t> role;
  std::vector<char> seen(3 + zones, 0);
  for (const std::string& name : names) {
    size_t r = 0;
    if (name == "time_s") {
      r = 0;
    } else if (name == "speed_m_min") {
      r = 1;
    } else if (name == "casting_degC") {
      r = 2;
    } else if (name.rfind("spray", 0) == 0 && name.size() > 12 &&
               name.compare(name.size() - 7, 7, "_factor") == 0) {
      const std::string digits = name.substr(5, name.size() - 12);
      char* end = nullptr;
      const unsigned long n = std::strtoul(digits.c_str(), &end, 10);
      if (digits.empty() || *end != '\0' || digits[0] == '0' || digits[0] == '+')
        throw InputError(path + ": header, column " + name +
                         ": expected a zone number from 1 as in spray1_factor");
      if (n > zones)
        throw InputError(path + ": header, column " + name + ": the caster has " +
                         (zones == 0 ? std::string("no spray zones; expected no sprayN_factor column")
                                     : std::to_string(zones) + " spray zones; expected spray1_factor .. spray" +
                                           std::to_string(zones) + "_factor"));
      r = 3 + (n - 1);
    } else {
      throw InputError(path + ": header, column \"" + name +
                       "\" is unknown; expected time_s, speed_m_min, casting_degC or sprayN_factor");
    }
    if (seen[r]) throw InputError(path + ": header, column " + name + " appears twice; expected it once");
    seen[r] = 1;
    role.push_back(r);
  }
  if (!seen[0] || !seen[1])
    throw InputError(path + ": header has no " + std::string(seen[0] ? "speed_m_min" : "time_s") +
                     " column; expected time_s and speed_m_min");

  Schedule s;
  s.factor.resize(zones);
  std::vector<double> value(names.size());
  int row = 1;
  while (std::getline(in, line)) {
    ++row;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::vector<std::string> cells = Cells(line);
    const std::string at = path + ": row " + std::to_string(row);
    if (cells.size() != names.size())
      throw InputError(at + " has " + std::to_string(cells.size()) + " values; expected " +
                       std::to_string(names.size()) + ", one per column of the header");
    for (size_t c = 0; c < cells.size(); ++c) {
      char* end = nullptr;
      const double v = std::strtod(cells[c].c_str(), &end);
      if (cells[c].empty() || *end != '\0' || !std::isfinite(v))
        throw InputError(at + ", column " + names[c] + " is \"" + cells[c] +
                         "\"; expected a finite number");
      if (role[c] == 1 && v < 0)
        throw InputError(at + ", column " + names[c] + " is " + ValueText(v) +
                         "; expected a casting speed of at least 0 m/min");
      if (role[c] >= 3 && v < 0)
        throw InputError(at + ", column " + names[c] + " is " + ValueText(v) +
                         "; expected a factor of at least 0");
      if (role[c] == 0 && !s.time_s.empty() && !(v > s.time_s.back()))
        throw InputError(at + ", column " + names[c] + " is " + ValueText(v) + " s; expected a time after the row before's " +
                         ValueText(s.time_s.back()) + " s");
      value[c] = v;
    }
    for (size_t c = 0; c < cells.size(); ++c) {
      if (role[c] == 0) s.time_s.push_back(value[c]);
      if (role[c] == 1) s.speed.push_back(value[c] / 60);
      if (role[c] == 2) s.casting.push_back(value[c]);
      if (role[c] >= 3) s.factor[role[c] - 3].push_back(value[c]);
    }
  }
  if (s.time_s.empty()) throw InputError(path + ": has no rows below its header; expected at least one moment");
  return s;
}

void CheckCastingTemperatures(const Schedule& s, const Material& material, const std::string& path) {
  const TableView tab(material.ConstM, material.ConstHindex);
  double solidus = 0, liquidus = 0;
  const bool melts = EstimateSolidusLiquidus(material.ConstM, solidus, liquidus);
  for (size_t r = 0; r < s.casting.size(); ++r) {
    const double t = s.casting[r];
    const std::string at = path + ": row " + std::to_string(r + 2) + ", column casting_degC is " +
                           ValueText(t) + " degC";
    if (!tab.Covers(t))
      throw InputError(at + ", outside the material table; expected a temperature within " +
                       TemperatureRangeText(material.ConstM.n_rows));
    if (melts && !(t > solidus))
      throw InputError(at + "; expected a casting temperature above the table's solidus of " +
                       ValueText(solidus) + " degC, where the steel is still liquid");
  }
}

}  // namespace tepora
