#include "mpi/solve_master.h"

#include <mpi.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/fatal.h"
#include "mpi/array_broadcast.h"
#include "mpi/node_share.h"
#include "sparse/pcg_lanes.h"

namespace {

const char kOutOfMemory[] = "Not enough memory!!\n";

}  // namespace

SolveMaster::SolveMaster(int32_t worker_count)
    : worker_count_(worker_count), workers_(static_cast<std::size_t>(worker_count) + 1) {}

SolveSharing SolveMaster::sharing(int32_t job_threads, InstructionSet set) {
  job_threads_ = job_threads;
  instruction_set_ = set;
  SolveSharing hooks;
  hooks.lowest_failure = &lowest_failure_;
  hooks.begin = [this](const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                       int32_t conductor_count, double* columns) {
    return begin(P, F, tolerance, conductor_count, columns);
  };
  hooks.claim = [this] { return claim(); };
  hooks.serve = [this] {
    serve();
    return solved_elsewhere_;
  };
  hooks.finish = [this](int32_t failed, int64_t& iterations) { return finish(failed, iterations); };
  return hooks;
}

int32_t SolveMaster::begin(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                           int32_t conductor_count, double* columns) {
  columns_ = columns;
  conductor_count_ = conductor_count;
  dispenser_.conductor_count = conductor_count;
  own_width_ = job_group_width(conductor_count, job_threads_, instruction_set_);
  if (worker_count_ == 0) return own_width_;
  solution_.resize(static_cast<std::size_t>(conductor_count) + kSolutionHead);

  // Every worker first makes room for the arrays; the broadcast starts only when all have it,
  // since a worker that ran out of memory could not take part in it.
  const Control header = header_message(describe(P, F, tolerance, conductor_count));
  for (int32_t w = 1; w <= worker_count_; ++w) send_control(w, kFromMaster, header);
  wait_for_every_worker(&WorkerState::answered);
  if (out_of_memory_) fail_and_exit(kOutOfMemory);
  for (int32_t w = 1; w <= worker_count_; ++w) send_control(w, kFromMaster, kGo);
  const double start = MPI_Wtime();
  // Rank 0 only reads its arrays here.
  broadcast_arrays(const_cast<CompactSymmetric&>(P), const_cast<CompactFactor&>(F));
  solving_ = true;
  const char* timing = std::getenv("VORNAX_TIMING");
  if (timing != nullptr && std::strcmp(timing, "1") == 0) {
    std::fprintf(stderr, "vornax-mpi: broadcast of %.1f MB to %d ranks took %.3f s\n",
                 1e-6 * static_cast<double>(array_bytes(P, F)), worker_count_, MPI_Wtime() - start);
  }
  return own_width_;
}

int32_t SolveMaster::claim() {
  std::lock_guard<std::mutex> hold(lock_);
  const int32_t k = own_batch_.take();
  if (k >= 0) return k;
  int32_t first = 0;
  int32_t count = 0;
  if (out_of_memory_ || !dispenser_.take(own_width_, first, count)) return -1;
  own_batch_ = ConductorBatch{first, first + count};
  return own_batch_.take();
}

void SolveMaster::serve() {
  while (handle_next()) {
  }
  announce();
}

int32_t SolveMaster::finish(int32_t failed, int64_t& iterations) {
  if (failed >= 0) lower_failure(failed);
  announce();
  wait_for_every_worker(&WorkerState::finished);
  solving_ = false;
  if (out_of_memory_) fail_and_exit(kOutOfMemory);
  iterations += worker_iterations_;
  const int32_t failure = lowest_failure_.load();
  return failure == INT32_MAX ? -1 : failure;
}

void SolveMaster::end_workers(int status) {
  if (ending_) return;
  ending_ = true;
  for (int32_t w = 1; w <= worker_count_; ++w) {
    if (!workers_[w].gone) send_control(w, kFromMaster, kEnd, status);
  }
  wait_for_every_worker(&WorkerState::gone);
}

void SolveMaster::wait_for_every_worker(bool WorkerState::*flag) {
  for (int32_t w = 1; w <= worker_count_; ++w) {
    while (!(workers_[w].*flag)) {
      if (!handle_next()) pause_briefly();
      announce();
    }
  }
}

bool SolveMaster::handle_next() {
  int arrived = 0;
  MPI_Status status;
  MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &arrived, &status);
  if (!arrived) return false;
  if (status.MPI_TAG == kSolution) {
    int count = 0;
    MPI_Get_count(&status, MPI_DOUBLE, &count);
    take_solution(status.MPI_SOURCE, count);
    return true;
  }
  Control message;
  MPI_Recv(message.word, kControlWords, MPI_INT64_T, status.MPI_SOURCE, status.MPI_TAG,
           MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  handle_control(status.MPI_SOURCE, message);
  return true;
}

void SolveMaster::handle_control(int source, const Control& message) {
  WorkerState& worker = workers_[source];
  switch (message.word[0]) {
    case kReady:
      worker.answered = true;
      break;
    case kFatal: {
      worker.answered = true;
      worker.finished = true;
      {
        std::lock_guard<std::mutex> hold(lock_);
        out_of_memory_ = true;
      }
      lower_failure(-1);
      break;
    }
    case kRequest: {
      // After the end was sent, that message answers the request.
      if (ending_) break;
      int32_t first = 0;
      int32_t count = 0;
      bool handed = false;
      {
        std::lock_guard<std::mutex> hold(lock_);
        handed =
            !out_of_memory_ && dispenser_.take(static_cast<int32_t>(message.word[1]), first, count);
      }
      if (handed) {
        send_control(source, kFromMaster, kGroup, first, count);
      } else {
        send_control(source, kFromMaster, kStop);
      }
      break;
    }
    case kDone:
      worker.finished = true;
      if (message.word[1] >= 0) lower_failure(static_cast<int32_t>(message.word[1]));
      break;
    case kGaveUp:
      lower_failure(static_cast<int32_t>(message.word[1]));
      break;
    case kBye:
      worker.gone = true;
      break;
    default:
      break;
  }
}

void SolveMaster::lower_failure(int32_t k) { lower_failure_to(lowest_failure_, k); }

void SolveMaster::announce() {
  const int32_t failure = lowest_failure_.load();
  if (!solving_ || ending_ || failure >= announced_) return;
  announced_ = failure;
  if (failure >= 0) {
    // No group above it goes out any more, to this rank's threads or to a worker.
    std::lock_guard<std::mutex> hold(lock_);
    dispenser_.note_failure(failure);
  }
  for (int32_t w = 1; w <= worker_count_; ++w) {
    if (!workers_[w].finished && !workers_[w].gone) send_control(w, kFromMaster, kAbandon, failure);
  }
}

void SolveMaster::take_solution(int source, int count) {
  // A buffer of the expected size; the message is received whatever it holds.
  if (solution_.size() < static_cast<std::size_t>(std::max(count, 1))) solution_.resize(count);
  MPI_Recv(solution_.data(), count, MPI_DOUBLE, source, kSolution, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  if (count != conductor_count_ + kSolutionHead || columns_ == nullptr) return;
  const int32_t k = static_cast<int32_t>(solution_[0]);
  worker_iterations_ += static_cast<int64_t>(solution_[1]);
  ++solved_elsewhere_;
  std::copy(solution_.begin() + kSolutionHead, solution_.end(),
            columns_ + static_cast<std::size_t>(k) * conductor_count_);
}
