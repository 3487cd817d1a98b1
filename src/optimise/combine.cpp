// Neighbouring elements reconciled on what they share: their results
// combined with the pair's weights, and every element's leading shared
// slices made its upstream neighbour's trailing ones.
#include "optimise/optimise.h"

namespace tepora {

namespace {

// Slices `from` .. of `into` become w_own own + w_other other cell by cell,
// where `other` is `own` but on own's last `shared` slices, which `next`
// (the element downstream, when there is one) holds as its first.
void Mix(cube& into, const cube& own, const cube* next, uword from, uword shared, double w_own,
         double w_other) {
  const uword cells = own.n_rows * own.n_cols, tail = own.n_slices - shared;
  for (uword k = from; k < own.n_slices; ++k) {
    const double* a = own.slice_memptr(k);
    const double* b = next && k >= tail ? next->slice_memptr(k - tail) : a;
    double* out = into.slice_memptr(k);
    for (uword c = 0; c < cells; ++c) out[c] = w_own * a[c] + w_other * b[c];
  }
}

}  // namespace

// Every element but the last is the upstream one of its pair with the next:
// its own cells are combined with themselves, its trailing shared slices
// with the next element's leading ones, its htc and speed with the next
// element's. The last element is the downstream one of its pair with the
// element before, whose htc and speed it takes a share of; its own cells are
// combined with themselves. What an element shares with the element upstream
// is left to the rebuild.
void Optimise::CombineNeighbours() {
  const size_t e = elements.size() - 1;
  const uword shared = uword(n_offset);
  const double wu = upstream_weight, wd = downstream_weight;
  for (size_t i = 0; i < e; ++i) {
    ElementState& el = elements[i];
    Mix(el.field, found[i].field, &found[i + 1].field, i == 0 ? 0 : shared, shared, wu, wd);
    el.htc = wu * found[i].htc + wd * found[i + 1].htc;
    el.speed = wu * casting_speed + wd * casting_speed;
  }
  ElementState& last = elements[e];
  Mix(last.field, found[e].field, nullptr, shared, shared, wd, wu);
  last.htc = wd * found[e].htc + wu * found[e - 1].htc;
  last.speed = wd * casting_speed + wu * casting_speed;
}

void Optimise::RebuildSharedSlices() {
  const uword shared = uword(n_offset);
  if (shared == 0) return;
  for (size_t i = 1; i < elements.size(); ++i) {
    const cube& up = elements[i - 1].field;
    elements[i].field.slices(0, shared - 1) = up.slices(up.n_slices - shared, up.n_slices - 1);
  }
}

}  // namespace tepora
