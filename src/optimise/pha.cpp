// Progressive hedging over the elements of the strand, then the assembly of
// the optimised strand and its output.
#include <atomic>
#include <cstdio>
#include <exception>

#include "optimise.h"
#include "tepora.h"

// One iteration: every element is evaluated by itself, from its own field,
// with the inlet slice and upstream htc the previous iteration left, so the
// elements of one iteration run in parallel. Neighbouring results are then
// combined with the weights p_s on what they share (the overlap slices, the
// htc, the casting speed):  X_av = p_s(0) X_upstream + p_s(1) X_downstream.
void Optimise::ComputePHA() {
  const int e = nElem - 1;
  const uword A = uword(ndr) * ndphi;
  const uword K = uword(n_offset) * A;
  field<vec> X_av_old(nElem), X_av(nElem), ToTf(nElem), ToDeVect(nElem);
  field<cube> Tf(nElem);
  for (int i = 0; i < nElem; ++i) {
    const uword n = i == 0 ? uword(nX(0)) + 1 : uword(nX(i)) + K + 1;
    X_av_old(i).zeros(n);
    X_av_old(i)(n - 1) = Vecv_z(i);
  }
  vec OptimalHtcs_old(nElem);
  OptimalHtcs_old.fill(kStartHtc);
  vec htcl(nElem);
  vec X_av1;

  for (int p = 1; p <= pmax; ++p) {
    printf(
        "---------------------------------------------------------------\n %d. PHA iteration "
        "out of %d total. \n---------------------------------------------------------------\n",
        p, pmax);
    fflush(stdout);

    // Everything written here is indexed by the element. The first error
    // stops the other elements at their next candidate and is raised once
    // every thread has left the loop; nothing of the iteration is printed.
    std::atomic<bool> stop{false};
    abandon = &stop;
    std::exception_ptr failure;
    std::atomic<bool> claimed{false};
#pragma omp parallel for schedule(static)
    for (int i = 0; i <= e; ++i) {
      try {
        if (i == 0) {
          htcl(0) = OptimalHtcs_old(0);
        } else {
          if (p == 1) {
            cube inlet = Elem(i - 1).slices(Elem(i - 1).n_slices - n_offset,
                                            Elem(i - 1).n_slices - n_offset);
            ToTf(i) = ToVect(inlet);
          } else {
            const uword m = X_av_old(i - 1).n_elem;
            ToTf(i) = X_av_old(i - 1).subvec(m - 2 - K, m - 2 - K + A - 1);
          }
          htcl(i) = OptimalHtcs_old(i - 1);
          Tf(i) = DeVect(ToTf(i), ndr, ndphi, 1);
          ToTf(i).reset();
        }
        X_s(i) = CompScen(i, Elem(i), Param, X_av_old(i), Tf(i), htcl(i));
      } catch (const IterationAbandoned&) {
      } catch (...) {
        if (!claimed.exchange(true)) failure = std::current_exception();
        stop = true;
      }
    }
    abandon = nullptr;
    if (failure) std::rethrow_exception(failure);
    for (int i = 0; i <= e; ++i) {
      if (!ScenErr[i].empty()) {
        fflush(stdout);
        std::fputs(ScenErr[i].c_str(), stderr);
      }
      std::fputs(ScenOut[i].c_str(), stdout);
    }
    fflush(stdout);

    OptimalHtcs_old = OptimalHtcs;

    auto Weighted = [](double w0, const vec& a, double w1, const vec& b) {
      vec r(a.n_elem);
      for (uword c = 0; c < a.n_elem; ++c) r(c) = w0 * a(c) + w1 * b(c);
      return r;
    };
    for (int i = 0; i < e; ++i) {
      const uword n = X_s(i).n_elem;
      X_av1 = X_s(i);
      X_av1.resize(n + 1);
      X_av1(n) = Vecv_z(i + 1);
      const uword L = X_L(i + 1).n_elem;
      if (L > 0) X_av1.subvec(n - 1 - L, n - 2) = X_L(i + 1);
      X_av1(n - 1) = X_s(i + 1)(X_s(i + 1).n_elem - 1);
      X_s(i).resize(n + 1);
      X_s(i)(n) = Vecv_z(i);
      X_av(i) = Weighted(p_s(0), X_s(i), p_s(1), X_av1);
    }
    {
      const uword n = X_s(e).n_elem;
      X_av1 = X_s(e);
      X_av1.resize(n + 1);
      X_av1(n - 1) = X_s(e - 1)(X_s(e - 1).n_elem - 2);
      X_av1(n) = Vecv_z(e - 1);
      X_s(e).resize(n + 1);
      X_s(e)(n) = Vecv_z(e);
      X_av(e) = Weighted(p_s(1), X_s(e), p_s(0), X_av1);
    }
    X_av1.reset();
    X_av_old = X_av;

    // Every element takes the combined values; its leading shared slices
    // take those at the end of its upstream neighbour.
    for (int i = 0; i <= e; ++i) {
      const uword n = X_av(i).n_elem;
      Param(i) = X_av(i)(n - 2);
      if (i == 0) {
        ToDeVect(i) = X_av(i).head(n - 2);
      } else {
        const vec& up = ToDeVect(i - 1);
        ToDeVect(i) = join_cols(up.tail(K), X_av(i).head(n - 2));
      }
      Elem(i) = DeVect(ToDeVect(i), ndr, ndphi, int(Elem(i).n_slices));
    }
  }

  Assemble();
}

// The strand from its elements, every slice from exactly one of them; the
// profile along the strand with each seam column replaced by the mean of its
// neighbours.
void Optimise::Assemble() {
  const int e = nElem - 1;
  uword c = 0;
  for (int i = 0; i < e; ++i) {
    const uword s = Elem(i).n_slices;
    if (i == 0) {
      T.slices(c, s - 1) = Elem(0);
      c = c + s;
    } else {
      T.slices(c, c + s - 1 - n_offset) = Elem(i).slices(n_offset, s - 1);
      c = c + s - ElemL(i).n_slices;
    }
  }
  T.slices(c, ndz - 1) = Elem(e).slices(ElemL(e).n_slices, Elem(e).n_slices - 1);
  SaveWhole(T, "TeporaOut/T_opt.cub");

  ProfileMat = SectorProfile(T);
  const int t = int(Elem(0).n_slices) - 1;
  for (int i = 0; i < e; ++i) {
    const int m = (int(Elem(i).n_slices) - n_offset) * i + t;
    for (int r = 0; r < ndr; ++r) ProfileMat(r, m) = 0.5 * (T(r, 1, m - 1) + T(r, 1, m + 1));
  }

  const char fnameOctave[12] = "Profile.mat";
  char str0[50];
  std::snprintf(str0, sizeof str0, "TeporaOut/%s", fnameOctave);
  SaveWhole(ProfileMat, str0);
  Visualise(fnameOctave);

  std::cout << "Optimal htcs are: " << "\n" << OptimalHtcs << "\n";
}
