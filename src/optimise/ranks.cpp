#include "optimise/ranks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "common/whole_file.h"

#ifdef TEPORA_MPI
#include <mpi.h>
#endif

namespace tepora {

namespace {

int this_rank = 0, rank_count = 1;

#ifdef TEPORA_MPI
bool joined = false;

// mpirun (Open MPI, or a PMI launcher) tells its processes their rank in the
// environment; a program started without it runs as the one rank, without
// the library's start-up.
bool StartedByMpirun() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE"})
    if (std::getenv(name)) return true;
  return false;
}

std::string Message(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}
#endif

}  // namespace

RankSession::RankSession(int* argc, char*** argv) {
#ifdef TEPORA_MPI
  if (!StartedByMpirun()) return;
  // Only the calling thread talks to the other ranks, outside parallel loops.
  int provided = 0;
  MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
  joined = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &this_rank);
  MPI_Comm_size(MPI_COMM_WORLD, &rank_count);
  if (this_rank == 0) return;
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  WriteNoFiles();
#else
  (void)argc;
  (void)argv;
#endif
}

RankSession::~RankSession() {
#ifdef TEPORA_MPI
  if (joined) {
    std::fflush(stdout);
    MPI_Finalize();
  }
#endif
}

bool WinsOver(const ElementWinner& a, const ElementWinner& b) {
  if (a.candidate < 0) return false;
  if (b.candidate < 0) return true;
  return a.obj < b.obj || (a.obj == b.obj && a.candidate < b.candidate);
}

int RankIndex() { return this_rank; }
int RankCount() { return rank_count; }

PairBlock RankBlock(long n) {
  const long b = rank_count - 1 - this_rank;
  return {n * b / rank_count, n * (b + 1) / rank_count};
}

void RankBarrier() {
#ifdef TEPORA_MPI
  if (rank_count > 1) MPI_Barrier(MPI_COMM_WORLD);
#endif
}

void RaiseFirstFailure(const std::exception_ptr& failure) {
#ifdef TEPORA_MPI
  if (rank_count > 1) {
    int mine = failure ? this_rank : rank_count, first = rank_count;
    MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
    if (first == rank_count) return;
    std::string text = this_rank == first ? Message(failure) : std::string();
    long length = long(text.size());
    MPI_Bcast(&length, 1, MPI_LONG, first, MPI_COMM_WORLD);
    text.resize(size_t(length));
    MPI_Bcast(&text[0], int(length), MPI_CHAR, first, MPI_COMM_WORLD);
    if (this_rank != first) throw std::runtime_error(text);
  }
#endif
  if (failure) std::rethrow_exception(failure);
}

// Per element three numbers from every rank (objective, deviation,
// candidate), then the winner's field from the rank that has it: one field
// an element and iteration crosses the network, whatever the rank count.
void ShareWinners(std::vector<ElementWinner>& winners, uword rows, uword cols,
                  const std::vector<uword>& slices) {
  if (rank_count == 1) return;
#ifdef TEPORA_MPI
  const size_t n = winners.size();
  std::vector<double> mine(3 * n), all(3 * n * size_t(rank_count));
  for (size_t i = 0; i < n; ++i) {
    mine[3 * i] = winners[i].obj;
    mine[3 * i + 1] = winners[i].diff;
    mine[3 * i + 2] = double(winners[i].candidate);
  }
  MPI_Allgather(mine.data(), int(3 * n), MPI_DOUBLE, all.data(), int(3 * n), MPI_DOUBLE,
                MPI_COMM_WORLD);
  for (size_t i = 0; i < n; ++i) {
    ElementWinner best;
    int owner = -1;
    for (int r = 0; r < rank_count; ++r) {
      const double* x = &all[3 * (size_t(r) * n + i)];
      ElementWinner seen;
      seen.obj = x[0];
      seen.diff = x[1];
      seen.candidate = long(x[2]);
      if (WinsOver(seen, best)) {
        best = seen;
        owner = r;
      }
    }
    if (owner < 0) continue;
    if (owner == this_rank)
      best.field = std::move(winners[i].field);
    else
      best.field.set_size(rows, cols, slices[i]);
    MPI_Bcast(best.field.memptr(), int(best.field.n_elem), MPI_DOUBLE, owner, MPI_COMM_WORLD);
    winners[i] = std::move(best);
  }
#else
  (void)winners;
  (void)rows;
  (void)cols;
  (void)slices;
#endif
}

}  // namespace tepora
