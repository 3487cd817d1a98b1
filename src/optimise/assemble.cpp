// The optimised strand from its elements, and its files.
#include <cstdio>

#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

// The strand from its elements, every slice from exactly one of them; the
// profile along the strand with each seam column replaced by the mean of its
// neighbours.
void Optimise::Assemble() {
  const size_t e = elements.size() - 1;
  const uword shared = uword(n_offset);
  uword c = 0;
  for (size_t i = 0; i < e; ++i) {
    const cube& field = elements[i].field;
    const uword s = field.n_slices;
    if (i == 0) {
      T.slices(c, s - 1) = field;
      c = c + s;
    } else {
      T.slices(c, c + s - 1 - shared) = field.slices(shared, s - 1);
      c = c + s - uword(elements[i].shared_before);
    }
  }
  const cube& last = elements[e].field;
  T.slices(c, uword(ndz) - 1) = last.slices(uword(elements[e].shared_before), last.n_slices - 1);
  SaveWhole(T, "TeporaOut/T_opt.cub");

  mat ProfileMat = SectorProfile(T);
  const int t = int(elements[0].field.n_slices) - 1;
  for (size_t i = 0; i < e; ++i) {
    const int m = (int(elements[i].field.n_slices) - n_offset) * int(i) + t;
    for (int r = 0; r < ndr; ++r) ProfileMat(r, m) = 0.5 * (T(r, 1, m - 1) + T(r, 1, m + 1));
  }
  SaveWhole(ProfileMat, "TeporaOut/Profile.mat");

  std::cout << "Optimal htcs are: " << "\n" << OptimalHtcs << "\n";
}

}  // namespace tepora
