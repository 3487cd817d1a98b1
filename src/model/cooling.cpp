// The htcs of the caster's zones on the grid.
#include "model/cooling.h"

namespace tepora {

std::vector<char> AirCooledSlices(const vec& dz, double air_length) {
  const double start = arma::accu(dz) - air_length;
  std::vector<char> air(dz.n_elem, 0);
  double z = 0.0;
  for (uword k = 0; k < dz.n_elem; ++k) {
    air[k] = z + 0.5 * dz(k) >= start;
    z += dz(k);
  }
  return air;
}

void Cooling::SetCoolM(const Grid& g, double htc) {
  CoolM.set_size(g.ndphi, g.ndz);
  CoolM.fill(htc);
}

void Cooling::SetCoolM(const Grid& g, double htc0, double htcl, int n_z) {
  SetCoolM(g, htc0);
  CoolM.cols(0, n_z).fill(htcl);
}

std::vector<int> Cooling::SetZones(const CasterZones& zones, const Grid& g) {
  CrystallizerLength = zones.mould_length;
  htc_k = zones.mould_htc;
  T_k = zones.coolant;
  // Positions along a caster are known to the micrometre at best, so the air
  // cooling's length is the difference of two of them rounded to the
  // micrometre: the binary remainder of a subtraction (12.8 - 7.8 =
  // 5.000000000000001) would otherwise move the zone's first slice, and a
  // file that states the built-in air cooling would not give the built-in zone.
  TertiaryLength = std::isnan(zones.air_from) ? kAirCooledLength
                                              : std::round((g.L - zones.air_from) * 1e6) / 1e6;
  std::vector<int> covered(zones.sprays.size(), 0);
  const std::vector<int> zone = ZoneOfSlices(zones.sprays, g);
  for (int k = 0; k < g.ndz; ++k)
    if (const int n = zone[size_t(k)]; n >= 0) {
      CoolM.col(uword(k)).fill(zones.sprays[size_t(n)].htc);
      ++covered[size_t(n)];
    }
  return covered;
}

std::vector<int> ZoneOfSlices(const std::vector<SprayZone>& sprays, const Grid& g) {
  std::vector<int> zone(size_t(g.ndz), -1);
  for (size_t n = 0; n < sprays.size(); ++n) {
    double z = 0.0;
    for (int k = 0; k < g.ndz; ++k) {
      const double centre = z + 0.5 * g.dz(k);
      if (sprays[n].from_m <= centre && centre < sprays[n].to_m) zone[size_t(k)] = int(n);
      z += g.dz(k);
    }
  }
  return zone;
}

}  // namespace tepora
