// vornax-fine-mpi under mpirun against vornax-fine on the same files: the same Cap.txt bit for
// bit and the same levels for 1, 2 and 3 ranks; a failure on every rank or on one rank alone
// ends the job with one message, status 1 and no Cap.txt. Every run has a time limit, so that a
// hang fails instead of waiting.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "../test_files.h"

namespace {

struct FineRun {
  int exit_status;  // -1 when the run did not end by itself
  std::string out;  // standard output, the times of the levels replaced by <t>
  std::string err;  // standard error
  bool has_cap;     // Cap.txt was written
  std::string cap;  // its content
};

/// Runs `command` in the folder `dir`, which it may leave its files in, killed after 4 minutes.
FineRun run_in(const std::string& dir, const std::string& command) {
  std::remove((dir + "/Cap.txt").c_str());
  const std::string line =
      "cd '" + dir + "' && timeout -k 5 240 " + command + " > stdout.txt 2> stderr.txt";
  const int status = std::system(line.c_str());
  FineRun run;
  run.exit_status = WIFEXITED(status) && WEXITSTATUS(status) != 124 ? WEXITSTATUS(status) : -1;
  run.out = std::regex_replace(read_file(dir + "/stdout.txt"), std::regex("[0-9.]+ s,"), "<t> s,");
  run.err = read_file(dir + "/stderr.txt");
  struct stat info;
  run.has_cap = stat((dir + "/Cap.txt").c_str(), &info) == 0;
  run.cap = run.has_cap ? read_file(dir + "/Cap.txt") : "";
  return run;
}

/// mpirun -q, so that its own notice of an ended job does not stand beside the program's message;
/// it runs as root, as tests in CI do, only when both variables say so.
std::string mpirun(int ranks) {
  return "env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 '" VORNAX_MPIEXEC
         "' -q --oversubscribe --bind-to none -np " +
         std::to_string(ranks) + " ";
}

std::string fresh_folder() {
  char pattern[] = "/tmp/vornax-fine-mpi-XXXXXX";
  return mkdtemp(pattern);
}

}  // namespace

// 20 conductors are three groups of solves: with 3 ranks each solves one, with 2 one solves two.
TEST(FineMpi, AnyNumberOfRanksGivesTheBitsOfOneProcess) {
  const std::string dir = fresh_folder();
  ASSERT_EQ(
      0, std::system(
             ("'" VORNAX_GEN_BINARY "' random 20 --seed 3 > '" + dir + "/random20.txt'").c_str()));
  const FineRun alone = run_in(dir, "'" VORNAX_FINE_BINARY "' random20.txt --accuracy 2");
  ASSERT_EQ(0, alone.exit_status) << alone.err;
  ASSERT_TRUE(alone.has_cap);
  for (int ranks : {1, 2, 3}) {
    SCOPED_TRACE(std::to_string(ranks) + " ranks");
    const FineRun shared =
        run_in(dir, mpirun(ranks) + "'" VORNAX_FINE_MPI_BINARY "' random20.txt --accuracy 2");
    EXPECT_EQ(0, shared.exit_status);
    EXPECT_EQ(alone.out, shared.out);
    EXPECT_EQ(alone.err, shared.err);
    EXPECT_EQ(alone.cap, shared.cap);
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(FineMpi, AFailureEndsTheJobWithOneMessageAndNoResult) {
  const std::string dir = fresh_folder();
  ASSERT_EQ(
      0, std::system(("printf 'Q 1 0 0 0 1 0 0 1 1 0 bogus\\n' > '" + dir + "/bad.txt'").c_str()));
  ASSERT_EQ(0, std::system(("'" VORNAX_GEN_BINARY "' bus 2 > '" + dir + "/bus2.txt'").c_str()));
  // Bad data, found by every rank alike: rank 0's message once.
  const FineRun alone = run_in(dir, "'" VORNAX_FINE_BINARY "' bad.txt");
  ASSERT_EQ(1, alone.exit_status);
  const FineRun bad = run_in(dir, mpirun(3) + "'" VORNAX_FINE_MPI_BINARY "' bad.txt");
  EXPECT_EQ(1, bad.exit_status);
  EXPECT_EQ(alone.err, bad.err);
  EXPECT_FALSE(bad.has_cap);
  // A path that only the second rank's processor lacks: that rank fails alone and ends the job.
  const FineRun one = run_in(dir, mpirun(1) + "'" VORNAX_FINE_MPI_BINARY "' bus2.txt : -np 1 " +
                                      "env VORNAX_ISA=avx9 '" VORNAX_FINE_MPI_BINARY "' bus2.txt");
  EXPECT_EQ(1, one.exit_status);
  EXPECT_EQ(0u, one.err.find("Error: VORNAX_ISA=avx9 names no ")) << one.err;
  EXPECT_EQ(1, std::count(one.err.begin(), one.err.end(), '\n')) << one.err;
  EXPECT_FALSE(one.has_cap);
  std::system(("rm -rf '" + dir + "'").c_str());
}
