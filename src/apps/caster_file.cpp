#include "apps/caster_file.h"

#include <sys/stat.h>
#include <toml++/toml.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

#include "common/errors.h"
#include "model/steel_chemistry.h"

namespace tepora {

namespace {

// Every key carries its unit in its name, so that a number is never read
// in the wrong unit; these are all the keys there are.
const std::vector<std::pair<const char*, std::vector<const char*>>> kTables = {
    {"mould", {"length_m", "htc_W_m2K", "coolant_degC"}},
    {"spray",
     {"from_m", "to_m", "htc_W_m2K", "water_l_min", "sprayed_length_m", "wetted_fraction",
      "target_surface_degC", "htc_min_W_m2K", "htc_max_W_m2K", "water_min_l_min",
      "water_max_l_min"}},
    {"air", {"from_m"}},
    {"steel", {"composition", "solidus_degC", "liquidus_degC", "crater_solid_fraction"}},
    {"sprays", {"correlation", "water_degC", "alpha"}},
    {"limits", {"surface_min_degC", "surface_max_degC", "reheat_max_K_per_m", "crater_end_max_m"}},
};

const char kTableList[] = "[mould], [[spray]], [air], [steel], [sprays], [limits]";

// Deepest nesting a case file may show, in dotted key parts or in brackets
// and braces: the caster's tables nest two deep ([steel] solidus_degC, or
// steel.solidus_degC), so this leaves room for any mistyped key to be named
// as unknown, while the TOML library, which recurses once a level, would
// run out of stack on tens of thousands of levels.
const int kMaxNesting = 64;

// The first line of `text` whose keys or values nest deeper than
// kMaxNesting, 0 when none does. Strings and comments are skipped; a chain
// of dotted parts ends at any of = , [ ] { } or a line end, so the dot of a
// number such as 1.5 counts once and a list of numbers never adds up.
size_t TooDeeplyNestedLine(const std::string& text) {
  size_t line = 1;
  int dots = 0, brackets = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      const size_t quotes = text.compare(i, 3, std::string(3, c)) == 0 ? 3 : 1;
      size_t end = i + quotes;
      while (end < text.size() && text.compare(end, quotes, std::string(quotes, c)) != 0) {
        if (text[end] == '\n') {
          if (quotes == 1) break;  // unterminated: the parser names the line
          ++line;
        }
        // An escape in a basic string: the next byte is not its end.
        end +=
            c == '"' && text[end] == '\\' && end + 1 < text.size() && text[end + 1] != '\n' ? 2 : 1;
      }
      i = end < text.size() && text[end] == '\n' ? end - 1 : end + quotes - 1;
      continue;
    }
    if (c == '#') {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
      continue;
    }
    if (c == '.') {
      if (++dots >= kMaxNesting) return line;
      continue;
    }
    if (c == '[' || c == '{') {
      if (++brackets > kMaxNesting) return line;
    } else if (c == ']' || c == '}') {
      --brackets;
    }
    if (c == '\n' || c == '=' || c == ',' || c == '[' || c == ']' || c == '{' || c == '}') dots = 0;
    line += c == '\n';
  }
  return 0;
}

// A key of the file as a message shows it: a quoted key may hold any
// character, and a line break or terminal control in it would split or
// garble the message's one line.
std::string Shown(std::string_view key) {
  std::string shown(key);
  for (char& c : shown)
    if (std::iscntrl(static_cast<unsigned char>(c))) c = '?';
  return shown;
}

std::string List(const std::vector<const char*>& keys) {
  std::string s;
  for (const char* k : keys) s += (s.empty() ? "" : ", ") + std::string(k);
  return s;
}

class Reader {
 public:
  explicit Reader(std::string path) : path_(std::move(path)) {}

  [[noreturn]] void Fail(const std::string& what) const { throw InputError(path_ + ": " + what); }

  // Stops at a key the table does not know, naming the ones it does.
  void KnownKeys(const toml::table& t, const std::string& name,
                 const std::vector<const char*>& keys) const {
    for (auto&& [key, node] : t) {
      bool known = false;
      for (const char* k : keys) known = known || key.str() == k;
      if (!known)
        Fail(name + " has the unknown key \"" + Shown(key.str()) +
             "\"; known keys: " + List(keys) + " (every key carries its unit)");
    }
  }

  // A number, finite and (when `non_negative`) not below zero; `fallback`
  // when the key is absent.
  double Number(const toml::table& t, const std::string& name, const char* key, double fallback,
                bool required = false) const {
    const toml::node* node = t.get(key);
    const std::string where = name + "." + key;
    if (!node) {
      if (required) Fail(where + " is missing; expected a number");
      return fallback;
    }
    // An integer beyond 2^53 is taken at the nearest double, as a decimal is.
    const std::optional<double> x = node->is_integer()
                                        ? std::optional<double>(double(**node->as_integer()))
                                        : node->value<double>();
    if (!node->is_number() || !x) Fail(where + " is " + TypeName(*node) + ", expected a number");
    if (!std::isfinite(*x)) Fail(where + " is " + ValueText(*x) + ", expected a finite number");
    return *x;
  }

  void NotNegative(double x, const std::string& where) const {
    if (x < 0) Fail(where + " is " + ValueText(x) + ", expected zero or a positive number");
  }

 private:
  static std::string TypeName(const toml::node& n) {
    switch (n.type()) {
      case toml::node_type::string:
        return "a string";
      case toml::node_type::boolean:
        return "true or false";
      case toml::node_type::table:
        return "a table";
      case toml::node_type::array:
        return "an array";
      default:
        return "a date or time";
    }
  }
  std::string path_;
};

}  // namespace

CasterZones LoadCaster(const char* path, double strand_length, bool& present) {
  CasterZones zones;
  present = false;
  struct stat st;
  if (stat(path, &st) != 0) {
    const int missing = errno;
    // A link to nothing is a case file meant and lost, not a case without one.
    if (missing == ENOENT && lstat(path, &st) == 0)
      throw InputError(std::string(path) + ": is a symbolic link to a file that does not exist; " +
                       "expected the caster's zones, or no file for the default zones");
    if (missing == ENOENT) return zones;
    throw InputError(std::string(path) + ": cannot be read (" + std::strerror(missing) + ")");
  }
  if (!S_ISREG(st.st_mode))
    throw InputError(std::string(path) + ": is not a regular file; expected the caster's zones");
  const Reader in(path);
  std::ifstream file(path, std::ios::binary);
  if (!file)
    throw InputError(std::string(path) + ": cannot be read (" + std::strerror(errno) + ")");
  std::ostringstream text;
  text << file.rdbuf();
  if (const size_t line = TooDeeplyNestedLine(text.str()))
    in.Fail("line " + std::to_string(line) + ": a key, table header or value nested more than " +
            std::to_string(kMaxNesting) + " levels deep; expected the tables " + kTableList +
            " and their keys, two levels deep");
  toml::table doc;
  try {
    doc = toml::parse(text.str(), std::string(path));
  } catch (const toml::parse_error& e) {
    std::ostringstream what;
    what << "line " << e.source().begin.line << ", column " << e.source().begin.column << ": "
         << e.description();
    in.Fail(what.str());
  }
  present = true;

  for (auto&& [key, node] : doc) {
    bool known = false;
    for (const auto& t : kTables) known = known || key.str() == t.first;
    if (!known)
      in.Fail("unknown table [" + Shown(key.str()) + "]; known tables: " + kTableList);
    const bool spray = key.str() == "spray";
    if (spray ? !node.is_array_of_tables() : !node.is_table())
      in.Fail(std::string(key.str()) +
              (spray ? " must be written [[spray]], one entry a zone"
                     : " must be a table, written [" + std::string(key.str()) + "]"));
  }
  const auto keys = [&](const char* table) {
    for (const auto& t : kTables)
      if (std::strcmp(t.first, table) == 0) return t.second;
    return std::vector<const char*>{};
  };

  if (const toml::table* m = doc["mould"].as_table()) {
    in.KnownKeys(*m, "mould", keys("mould"));
    zones.mould_length = in.Number(*m, "mould", "length_m", zones.mould_length);
    zones.mould_htc = in.Number(*m, "mould", "htc_W_m2K", zones.mould_htc);
    zones.coolant = in.Number(*m, "mould", "coolant_degC", zones.coolant);
    in.NotNegative(zones.mould_length, "mould.length_m");
    in.NotNegative(zones.mould_htc, "mould.htc_W_m2K");
    if (zones.mould_length > strand_length)
      in.Fail("mould.length_m is " + ValueText(zones.mould_length) +
              ", expected at most the modelled length of " + ValueText(strand_length) + " m");
  }
  if (const toml::table* a = doc["air"].as_table()) {
    in.KnownKeys(*a, "air", keys("air"));
    zones.air_from = in.Number(*a, "air", "from_m", zones.air_from, true);
    if (zones.air_from < zones.mould_length || zones.air_from > strand_length)
      in.Fail("air.from_m is " + ValueText(zones.air_from) + ", expected a position between " +
              "the mould's end at " + ValueText(zones.mould_length) +
              " m and the strand's end at " + ValueText(strand_length) + " m");
  }
  // Without [air] the air cooling takes the last kAirCooledLength of the
  // strand, as it does without the file; sprays end where it starts.
  const double air =
      std::isnan(zones.air_from) ? strand_length - kAirCooledLength : zones.air_from;
  if (const toml::array* sprays = doc["spray"].as_array()) {
    for (size_t n = 0; n < sprays->size(); ++n) {
      const toml::table& t = *(*sprays)[n].as_table();
      const std::string name = "spray[" + std::to_string(n + 1) + "]";
      in.KnownKeys(t, name, keys("spray"));
      SprayZone z{in.Number(t, name, "from_m", 0, true), in.Number(t, name, "to_m", 0, true), 0};
      const bool water = t.contains("water_l_min");
      if (water && t.contains("htc_W_m2K"))
        in.Fail(name + " states both htc_W_m2K and water_l_min; expected one of them");
      for (const char* key : {"sprayed_length_m", "wetted_fraction", "water_min_l_min",
                              "water_max_l_min", "htc_min_W_m2K", "htc_max_W_m2K"}) {
        const bool of_water = std::strncmp(key, "htc", 3) != 0;
        if (t.contains(key) && of_water != water)
          in.Fail(name + "." + key + " belongs to zones given by " +
                  (of_water ? "water_l_min" : "htc_W_m2K") + ", and this one states " +
                  (water ? "water_l_min; expected water_min_l_min and water_max_l_min"
                         : "htc_W_m2K; expected htc_min_W_m2K and htc_max_W_m2K") +
                  " as its bounds");
      }
      if (water) {
        z.water_l_min = in.Number(t, name, "water_l_min", 0, true);
        in.NotNegative(z.water_l_min, name + ".water_l_min");
        z.sprayed_length_m = in.Number(t, name, "sprayed_length_m", z.to_m - z.from_m);
        if (!(z.sprayed_length_m > 0 && z.sprayed_length_m <= z.to_m - z.from_m + 1e-9))
          in.Fail(name + ".sprayed_length_m is " + ValueText(z.sprayed_length_m) +
                  ", expected a length above 0 and at most the zone's " +
                  ValueText(std::round((z.to_m - z.from_m) * 1e6) / 1e6) + " m");
        z.wetted_fraction = in.Number(t, name, "wetted_fraction", 1.0);
        if (!(z.wetted_fraction > 0 && z.wetted_fraction <= 1))
          in.Fail(name + ".wetted_fraction is " + ValueText(z.wetted_fraction) +
                  ", expected a share of the circumference above 0 and at most 1" +
                  (z.wetted_fraction > 1 && z.wetted_fraction <= 100
                       ? " (a percentage instead of a fraction?)"
                       : ""));
      } else {
        z.htc = in.Number(t, name, "htc_W_m2K", 0, true);
      }
      z.target_surface = in.Number(t, name, "target_surface_degC", z.target_surface);
      const std::string unit = water ? "water_" : "htc_", tail = water ? "_l_min" : "_W_m2K";
      z.low = in.Number(t, name, (unit + "min" + tail).c_str(), z.low);
      z.high = in.Number(t, name, (unit + "max" + tail).c_str(), z.high);
      if (!std::isnan(z.low)) in.NotNegative(z.low, name + "." + unit + "min" + tail);
      if (!std::isnan(z.high)) in.NotNegative(z.high, name + "." + unit + "max" + tail);
      if (z.low > z.high)
        in.Fail(name + "." + unit + "min" + tail + " is " + ValueText(z.low) + ", above its " +
                unit + "max" + tail + " of " + ValueText(z.high));
      in.NotNegative(z.from_m, name + ".from_m");
      in.NotNegative(z.htc, name + ".htc_W_m2K");
      if (!(z.to_m > z.from_m))
        in.Fail(name + ".to_m is " + ValueText(z.to_m) + ", expected a position beyond its " +
                "from_m of " + ValueText(z.from_m));
      if (z.from_m < zones.mould_length)
        in.Fail(name + ".from_m is " + ValueText(z.from_m) + ", inside the mould (" +
                ValueText(zones.mould_length) + " m); expected a zone below the mould");
      if (z.to_m > strand_length)
        in.Fail(name + ".to_m is " + ValueText(z.to_m) + ", beyond the strand's end at " +
                ValueText(strand_length) + " m");
      if (z.to_m > air)
        in.Fail(name + ".to_m is " + ValueText(z.to_m) + ", beyond the start of the air cooling at " +
                ValueText(air) + " m" +
                (std::isnan(zones.air_from) ? " (the last " + ValueText(kAirCooledLength) +
                                                  " m of the strand unless [air] sets it)"
                                            : ""));
      if (!zones.sprays.empty() && z.from_m < zones.sprays.back().to_m)
        in.Fail(name + ".from_m is " + ValueText(z.from_m) + ", before the end of spray[" +
                std::to_string(n) + "] at " + ValueText(zones.sprays.back().to_m) +
                " m; expected zones in order along the strand, not overlapping");
      zones.sprays.push_back(z);
    }
  }
  if (const toml::table* s = doc["steel"].as_table()) {
    in.KnownKeys(*s, "steel", keys("steel"));
    zones.solidus = in.Number(*s, "steel", "solidus_degC", zones.solidus);
    zones.liquidus = in.Number(*s, "steel", "liquidus_degC", zones.liquidus);
    if (const toml::node* c = s->get("composition")) {
      // The heat's chemistry gives the melting range by the liquidus and
      // solidus formulas; a range stated beside it could only disagree.
      if (!std::isnan(zones.solidus) || !std::isnan(zones.liquidus))
        in.Fail(std::string("steel.composition and steel.") +
                (std::isnan(zones.solidus) ? "liquidus" : "solidus") +
                "_degC both give the melting range; expected one of them");
      const std::optional<std::string> given = c->value<std::string>();
      if (!given)
        in.Fail("steel.composition is not a string, expected mass percentages such as "
                "\"C=0.18 Si=0.25 Mn=0.80\"");
      SteelComposition chemistry;
      const std::string wrong = ReadComposition(*given, chemistry);
      if (!wrong.empty()) in.Fail("steel.composition \"" + Shown(*given) + "\" " + Shown(wrong));
      for (const std::string& caution : CompositionCautions(chemistry)) {
        std::cout.flush();
        std::cerr << "warning: " << path << ": steel.composition: " << caution << std::endl;
      }
      zones.composition = chemistry.text;
      zones.solidus = SolidusDegC(chemistry);
      zones.liquidus = LiquidusDegC(chemistry);
    }
    // A melting range needs both ends; half of one is dropped, said on a line.
    if (std::isnan(zones.solidus) != std::isnan(zones.liquidus)) {
      const bool solidus = !std::isnan(zones.solidus);
      std::cout.flush();
      std::cerr << "warning: " << path << ": steel." << (solidus ? "solidus" : "liquidus")
                << "_degC is stated without steel." << (solidus ? "liquidus" : "solidus")
                << "_degC; a melting range needs both, so it is taken from the material table's "
                << "latent heat" << std::endl;
      zones.solidus = zones.liquidus = std::numeric_limits<double>::quiet_NaN();
    }
    // The formulas' intercepts lie 1 K apart and Cu lowers only the
    // liquidus: near-pure iron with copper gets no melting range from them.
    if (!(zones.solidus < zones.liquidus) && !zones.composition.empty())
      in.Fail("steel.composition \"" + zones.composition + "\" melts between " +
              ValueText(zones.solidus) + " and " + ValueText(zones.liquidus) +
              " degC by the solidus and liquidus formulas, a solidus not below the liquidus; "
              "expected a steel of more carbon, or solidus_degC and liquidus_degC instead");
    if (!(zones.solidus < zones.liquidus) && !std::isnan(zones.solidus) &&
        !std::isnan(zones.liquidus))
      in.Fail("steel.solidus_degC is " + ValueText(zones.solidus) +
              ", expected a solidus below the liquidus of " + ValueText(zones.liquidus) + " degC");
    // A crater that ends where the axis has not begun to freeze is the
    // liquid pool's end, reported beside it; a percentage is the likely slip.
    const double g = in.Number(*s, "steel", "crater_solid_fraction", 1.0);
    if (!(g > 0 && g <= 1))
      in.Fail("steel.crater_solid_fraction is " + ValueText(g) +
              ", expected a solid fraction above 0 and at most 1" +
              (g > 1 && g <= 100 ? " (a percentage instead of a fraction?)" : ""));
    zones.crater_solid_fraction = g;
  }
  if (const toml::table* w = doc["sprays"].as_table()) {
    in.KnownKeys(*w, "sprays", keys("sprays"));
    zones.water_stated = true;
    if (const toml::node* c = w->get("correlation")) {
      const std::optional<std::string> name = c->value<std::string>();
      if (name && *name == CorrelationName(WaterCorrelation::Nozaki))
        zones.water.correlation = WaterCorrelation::Nozaki;
      else if (name && *name == CorrelationName(WaterCorrelation::ShimadaMitsutsuka))
        zones.water.correlation = WaterCorrelation::ShimadaMitsutsuka;
      else
        in.Fail(std::string("sprays.correlation is ") +
                (name ? "\"" + Shown(*name) + "\"" : std::string("not a string")) +
                ", expected \"nozaki\" or \"shimada-mitsutsuka\"");
    }
    zones.water.water_degC = in.Number(*w, "sprays", "water_degC", zones.water.water_degC);
    if (!(zones.water.water_degC >= 0 && zones.water.water_degC < 100))
      in.Fail("sprays.water_degC is " + ValueText(zones.water.water_degC) +
              ", expected a spray water temperature from 0 to below 100 degC");
    zones.water.alpha = in.Number(*w, "sprays", "alpha", zones.water.alpha);
    if (!(zones.water.alpha > 0))
      in.Fail("sprays.alpha is " + ValueText(zones.water.alpha) + ", expected a factor above 0");
  }
  if (const toml::table* l = doc["limits"].as_table()) {
    in.KnownKeys(*l, "limits", keys("limits"));
    StrandLimits& lim = zones.limits;
    lim.surface_min = in.Number(*l, "limits", "surface_min_degC", lim.surface_min);
    lim.surface_max = in.Number(*l, "limits", "surface_max_degC", lim.surface_max);
    lim.reheat_max = in.Number(*l, "limits", "reheat_max_K_per_m", lim.reheat_max);
    lim.crater_end_max = in.Number(*l, "limits", "crater_end_max_m", lim.crater_end_max);
    if (lim.surface_min >= lim.surface_max)
      in.Fail("limits.surface_min_degC is " + ValueText(lim.surface_min) +
              ", expected a minimum below limits.surface_max_degC of " +
              ValueText(lim.surface_max));
    if (!std::isnan(lim.reheat_max)) in.NotNegative(lim.reheat_max, "limits.reheat_max_K_per_m");
    if (!(lim.crater_end_max > 0) && !std::isnan(lim.crater_end_max))
      in.Fail("limits.crater_end_max_m is " + ValueText(lim.crater_end_max) +
              ", expected a position beyond the meniscus");
  }
  return zones;
}

void SetWaterHtcs(const char* path, CasterZones& zones, double radius) {
  for (size_t n = 0; n < zones.sprays.size(); ++n) {
    SprayZone& z = zones.sprays[n];
    if (!z.ByWater()) continue;
    z.htc = ZoneWaterHtc(zones.water, z.water_l_min, z.sprayed_length_m, z.to_m - z.from_m,
                         radius, z.wetted_fraction);
    WarnWaterFlux(path, zones, n, radius, z.water_l_min);
  }
}

void WarnWaterFlux(const char* path, const CasterZones& zones, size_t n, double radius,
                   double flow) {
  const SprayZone& z = zones.sprays[n];
  const double W = WaterFluxDensity(flow, z.sprayed_length_m, radius, z.wetted_fraction);
  if (W >= kWaterFluxLow && W <= kWaterFluxHigh) return;
  char density[32];
  std::snprintf(density, sizeof density, "%.3g", W);
  std::cout.flush();
  std::cerr << "warning: " << path << ": spray[" << n + 1 << "] water " << ValueText(flow)
            << " l/min gives a water-flux density of " << density
            << " l/(m^2 s), outside the " << ValueText(kWaterFluxLow) << " to "
            << ValueText(kWaterFluxHigh) << " l/(m^2 s) the " << CorrelationName(zones.water.correlation)
            << " correlation was measured over; its htc is taken as the formula gives it"
            << std::endl;
}

void WarnEmptyZones(const char* path, const CasterZones& zones, const std::vector<int>& covered) {
  for (size_t n = 0; n < covered.size(); ++n)
    if (covered[n] == 0) {
      std::cout.flush();
      std::cerr << "warning: " << path << ": spray[" << n + 1 << "] from "
                << ValueText(zones.sprays[n].from_m) << " to " << ValueText(zones.sprays[n].to_m)
                << " m holds no slice centre (it is shorter than a slice) and cools nothing"
                << std::endl;
    }
}

}  // namespace tepora
