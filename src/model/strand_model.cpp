#include "model/strand_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tepora {

double EnergyAccount::Scale() const {
  return std::max({std::fabs(content_start - content_end), std::fabs(surface_out),
                   std::fabs(carried_in), std::fabs(carried_out)});
}

// One line: the heat that left through the surface and the ends against the
// fall of the strand's heat content over the run.
void PrintEnergyBalance(const EnergyAccount& e) {
  std::printf(
      "Energy balance: surface %.6e J + outlet %.6e J - inlet %.6e J = content fall %.6e J "
      "(residual %.1e of the largest term)\n",
      e.surface_out, e.carried_out, e.carried_in, e.content_start - e.content_end,
      e.Scale() > 0 ? std::fabs(e.Residual()) / e.Scale() : 0.0);
}

}  // namespace tepora
