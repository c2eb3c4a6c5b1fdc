#include "mpi/mpi_link.h"

#include <mpi.h>

#include <chrono>
#include <thread>

void send_control(int rank, int tag, int64_t kind, int64_t a, int64_t b) {
  Control message;
  message.word[0] = kind;
  message.word[1] = a;
  message.word[2] = b;
  send_control(rank, tag, message);
}

void send_control(int rank, int tag, const Control& message) {
  MPI_Send(message.word, kControlWords, MPI_INT64_T, rank, tag, MPI_COMM_WORLD);
}

Control wait_for_master() {
  for (;;) {
    int arrived = 0;
    MPI_Iprobe(0, kFromMaster, MPI_COMM_WORLD, &arrived, MPI_STATUS_IGNORE);
    if (arrived) break;
    pause_briefly();
  }
  Control message;
  MPI_Recv(message.word, kControlWords, MPI_INT64_T, 0, kFromMaster, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  return message;
}

void pause_briefly() { std::this_thread::sleep_for(std::chrono::microseconds(200)); }
