// Progressive hedging over the elements of the strand, then the assembly of
// the optimised strand and its output.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>

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
  History.clear();
  started = std::chrono::steady_clock::now();
  // Every rank has read its start field (TeporaOut/T_0.cub, which rank 0
  // rewrites in the first iteration) before any rank goes on.
  RankBarrier();

  for (int p = 1; p <= pmax; ++p) {
    printf(
        "---------------------------------------------------------------\n %d. PHA iteration "
        "out of %d total. \n---------------------------------------------------------------\n",
        p, pmax);
    fflush(stdout);

    // Inlet slices and upstream htcs, from what the previous iteration left.
    for (int i = 1; i <= e; ++i) {
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
    htcl(0) = OptimalHtcs_old(0);

    // The (element, candidate) pairs of the iteration, pair q = candidate
    // q % N of element q / N: this rank's block of them (all of them
    // without MPI) across its threads, in any order. Each element's search
    // is first prepared once for all its candidates; every candidate then
    // keeps its element's best by an order that is total, so the winners
    // are the same on any number of threads and ranks. The first error stops
    // the other pairs and is raised once every thread has left the loop, on
    // every rank; nothing of the iteration is printed.
    const std::vector<double> htcs = CandidateHtcs();
    const long N = opt ? long(htcs.size()) : 0, P = N * nElem;
    const PairBlock block = RankBlock(P);
    const int e0 = int(block.first / std::max(N, 1L));
    const int e1 = block.first < block.end ? int((block.end - 1) / N) : e0 - 1;
    std::vector<std::unique_ptr<ElementSearch>> search(nElem);
    std::atomic<bool> stop{false};
    abandon = &stop;
    std::exception_ptr failure;
    std::atomic<bool> claimed{false};
    // Progress within the iteration: the thread that finishes a pair says
    // how many of the rank's pairs are done, once progress_interval has
    // passed since the iteration began or since the last such line, however
    // the pairs are scheduled.
    std::mutex progress_lock;
    long pairs_done = 0;
    auto progress_said = std::chrono::steady_clock::now();
    const auto PairDone = [&] {
      const std::lock_guard<std::mutex> hold(progress_lock);
      ++pairs_done;
      const auto now = std::chrono::steady_clock::now();
      if (std::chrono::duration<double>(now - progress_said).count() < progress_interval) return;
      progress_said = now;
      std::printf("  iteration %d: %ld of %s%ld (element, candidate) pairs done, %.1f s so far\n", p,
                  pairs_done, RankCount() > 1 ? "this rank's " : "the ", block.end - block.first,
                  std::chrono::duration<double>(now - started).count());
      std::fflush(stdout);
    };
    const auto guarded = [&](const std::function<void()>& work) {
      try {
        work();
      } catch (...) {
        if (!claimed.exchange(true)) failure = std::current_exception();
        stop = true;
      }
    };
#pragma omp parallel
    {
#pragma omp for schedule(dynamic)
      for (int i = e0; i <= e1; ++i)
        guarded([&] {
          vec field = ToVect(Elem(i));
          const double v_z = X_av_old(i)(X_av_old(i).n_elem - 1);
          auto s = std::make_unique<ElementSearch>();
          PrepareSearch(i, field, v_z, Tf(i), htcl(i), *s);
          search[i] = std::move(s);
        });
#pragma omp for schedule(dynamic)
      for (long q = block.first; q < block.end; ++q) {
        if (stop) continue;
        const long c = q % N;
        guarded([&] {
          RunCandidate(*search[q / N], c, htcs[c], q == P - 1);
          PairDone();
        });
      }
    }
    abandon = nullptr;
    RaiseFirstFailure(failure);
    std::vector<ElementWinner> winners(nElem);
    std::vector<uword> slices(nElem);
    for (int i = 0; i <= e; ++i) {
      if (search[i]) winners[i] = std::move(search[i]->best);
      slices[i] = Elem(i).n_slices;
    }
    search.clear();
    ShareWinners(winners, ndr, ndphi, slices);
    for (int i = 0; i <= e; ++i) {
      vec X = join_cols(ToVect(Elem(i)), vec{Param(i)});
      if (opt) X = FinishSearch(i, winners[i]);
      X_s(i) = OwnPart(i, X);
    }
    for (int i = 0; i <= e; ++i) {
      if (!ScenErr[i].empty()) {
        fflush(stdout);
        std::fputs(ScenErr[i].c_str(), stderr);
      }
      std::fputs(ScenOut[i].c_str(), stdout);
    }
    fflush(stdout);

    RecordIteration(p, OptimalHtcs_old);
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

// How far the iteration moved the htcs and how far apart neighbouring
// elements left their shared slices, before they are combined; one progress
// line with the time taken and an estimate of the time left.
void Optimise::RecordIteration(int p, const vec& htcs_before) {
  IterationStats it;
  it.htc_change = arma::abs(OptimalHtcs - htcs_before).max();  // from the start in the first
  it.seam_jump = 0.0;
  for (int i = 0; i + 1 < nElem; ++i) {
    const uword n = X_s(i).n_elem, L = X_L(i + 1).n_elem;
    if (L == 0 || n < L + 1) continue;
    it.seam_jump = std::max(it.seam_jump, arma::abs(X_s(i).subvec(n - 1 - L, n - 2) -
                                                    X_L(i + 1)).max());
  }
  it.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  History.push_back(it);
  const double left = it.seconds / p * (pmax - p);
  std::printf("Iteration %d of %d done, %.1f s so far, about %.0f s left; htcs moved by up to "
              "%s W/(m2 K), neighbouring elements differ by up to %.1f K on their shared "
              "slices\n",
              p, pmax, it.seconds, left, ValueText(it.htc_change).c_str(),
              it.seam_jump);
  std::fflush(stdout);
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

  std::cout << "Optimal htcs are: " << "\n" << OptimalHtcs << "\n";
}
