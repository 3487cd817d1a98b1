#include "apps/caster_writer.h"

#include <cmath>
#include <cstdio>

#include "common/errors.h"

namespace tepora {

namespace {

void Key(std::string& out, const char* key, double x) {
  if (!std::isnan(x)) out += std::string(key) + " = " + ValueText(x) + "\n";
}

// A TOML basic string of `text`: quotes and backslashes escaped, control
// characters (a tab or line end between the pairs) as \uXXXX.
std::string TomlString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string CasterToml(const CasterZones& zones, const std::string& comment) {
  std::string out;
  size_t at = 0;
  while (at < comment.size()) {
    const size_t end = comment.find('\n', at);
    out += "# " + comment.substr(at, end == std::string::npos ? std::string::npos : end - at) + "\n";
    if (end == std::string::npos) break;
    at = end + 1;
  }
  out += "\n[mould]\n";
  Key(out, "length_m", zones.mould_length);
  Key(out, "htc_W_m2K", zones.mould_htc);
  Key(out, "coolant_degC", zones.coolant);
  bool water = zones.water_stated;
  for (const SprayZone& z : zones.sprays) {
    out += "\n[[spray]]\n";
    Key(out, "from_m", z.from_m);
    Key(out, "to_m", z.to_m);
    if (z.ByWater()) {
      water = true;
      Key(out, "water_l_min", z.water_l_min);
      Key(out, "sprayed_length_m", z.sprayed_length_m);
      Key(out, "wetted_fraction", z.wetted_fraction);
      Key(out, "water_min_l_min", z.low);
      Key(out, "water_max_l_min", z.high);
    } else {
      Key(out, "htc_W_m2K", z.htc);
      Key(out, "htc_min_W_m2K", z.low);
      Key(out, "htc_max_W_m2K", z.high);
    }
    Key(out, "target_surface_degC", z.target_surface);
  }
  if (!std::isnan(zones.air_from)) {
    out += "\n[air]\n";
    Key(out, "from_m", zones.air_from);
  }
  if (!std::isnan(zones.solidus) || zones.crater_solid_fraction != 1) {
    out += "\n[steel]\n";
    if (!zones.composition.empty()) {
      out += "composition = " + TomlString(zones.composition) + "\n";
    } else {
      Key(out, "solidus_degC", zones.solidus);
      Key(out, "liquidus_degC", zones.liquidus);
    }
    if (zones.crater_solid_fraction != 1)
      Key(out, "crater_solid_fraction", zones.crater_solid_fraction);
  }
  if (water) {
    out += "\n[sprays]\ncorrelation = \"" + std::string(CorrelationName(zones.water.correlation)) +
           "\"\n";
    Key(out, "water_degC", zones.water.water_degC);
    Key(out, "alpha", zones.water.alpha);
  }
  if (zones.limits.Any()) {
    out += "\n[limits]\n";
    Key(out, "surface_min_degC", zones.limits.surface_min);
    Key(out, "surface_max_degC", zones.limits.surface_max);
    Key(out, "reheat_max_K_per_m", zones.limits.reheat_max);
    Key(out, "crater_end_max_m", zones.limits.crater_end_max);
  }
  return out;
}

}  // namespace tepora
