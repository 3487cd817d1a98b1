// The processes of an optimiser run. Built with TEPORA_MPI, `mpirun -n N
// tepora-opt` starts N processes (ranks) that read the same input, deal the
// (element, candidate) pairs of every iteration among themselves, share the
// winners and then all combine the elements alike, so that every rank holds
// the same state; rank 0 alone prints and writes. Without TEPORA_MPI, or
// started without mpirun, there is one rank and every function here is
// trivial.
#pragma once

#include <exception>
#include <vector>

#include "common/headers.h"

namespace tepora {

// Joins the run's ranks for the lifetime of the object (one in a process,
// made first thing in main). Every rank but 0 sends its console to
// /dev/null and writes no files.
class RankSession {
 public:
  RankSession(int* argc, char*** argv);
  ~RankSession();
  RankSession(const RankSession&) = delete;
  RankSession& operator=(const RankSession&) = delete;
};

int RankIndex();
int RankCount();

// Pairs first .. end-1 of the n pairs of an iteration, this rank's block.
// The blocks are dealt in reverse, so that rank 0 holds the last pair, the
// one whose files it writes.
struct PairBlock {
  long first, end;
};
PairBlock RankBlock(long n);

// Waits until every rank has arrived.
void RankBarrier();

// Collective: when any rank holds a failure, every rank raises the one of
// the lowest such rank (itself where it is that rank, else its message as
// a std::runtime_error); otherwise returns.
void RaiseFirstFailure(const std::exception_ptr& failure);

// The best candidate of one element a rank has seen: the lowest objective,
// then the lowest candidate index (-1 when the rank ran none of the
// element's candidates), its deviation and its simulated field.
struct ElementWinner {
  double obj = 0, diff = 0;
  long candidate = -1;
  cube field;
};

// a wins over b: a lower objective, or an equal one and a lower candidate
// (a smaller htc); an entry without a candidate loses. The order is total,
// so the winner does not depend on the order in which candidates finish.
bool WinsOver(const ElementWinner& a, const ElementWinner& b);

// Collective: every rank leaves with every element's winner over all ranks,
// with its field sized `rows` x `cols` x slices[i].
void ShareWinners(std::vector<ElementWinner>& winners, uword rows, uword cols,
                  const std::vector<uword>& slices);

}  // namespace tepora
