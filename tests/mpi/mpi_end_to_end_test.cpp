// vornax-mpi under mpirun against vornax on the same files: the same standard output (the time
// figure aside), standard error and Cap.txt for 1, 2 and 3 ranks; exit status 0 after a complete
// run and 1 after a failure. Every run has a time limit, so that a hang fails instead of waiting.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"

namespace {

struct RunOutcome {
  int exit_status;  // -1 when the run did not end by itself
  std::string out;  // standard output, the time figure replaced by <t>
  std::string err;  // standard error
  bool has_cap;     // Cap.txt was written
  std::string cap;  // its content
};

/// Runs `program` with the panel file `input` in a fresh folder, killed after two minutes.
RunOutcome run_in_fresh_folder(const std::string& program, const std::string& input) {
  char pattern[] = "/tmp/vornax-mpi-e2e-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string command = "cd '" + dir + "' && timeout -k 5 120 " + program + " " + input +
                              " > stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  RunOutcome run;
  run.exit_status = WIFEXITED(status) && WEXITSTATUS(status) != 124 ? WEXITSTATUS(status) : -1;
  run.out = std::regex_replace(read_file(dir + "/stdout.txt"),
                               std::regex("Times   = [^ \n]* Seconds"), "Times   = <t> Seconds");
  run.err = read_file(dir + "/stderr.txt");
  struct stat info;
  run.has_cap = stat((dir + "/Cap.txt").c_str(), &info) == 0;
  run.cap = read_file(dir + "/Cap.txt");
  std::system(("rm -rf '" + dir + "'").c_str());
  return run;
}

/// mpirun -q: its own notice of a failed job would stand between the program's messages. It
/// refuses to run as root, as tests in CI do, unless both variables say so.
std::string mpi_program(int ranks) {
  return std::string(
             "env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 '" VORNAX_MPIEXEC
             "' -q --oversubscribe --bind-to none -np ") +
         std::to_string(ranks) + " '" VORNAX_MPI_BINARY "'";
}

void expect_same_as_vornax(const std::string& input, const std::vector<int>& rank_counts) {
  const RunOutcome expected = run_in_fresh_folder("'" VORNAX_BINARY "'", input);
  ASSERT_EQ(1, expected.exit_status);
  for (int ranks : rank_counts) {
    SCOPED_TRACE(input + " on " + std::to_string(ranks) + " ranks");
    const RunOutcome run = run_in_fresh_folder(mpi_program(ranks), input);
    EXPECT_EQ(expected.has_cap ? 0 : 1, run.exit_status);
    EXPECT_EQ(expected.out, run.out);
    EXPECT_EQ(expected.err, run.err);
    EXPECT_EQ(expected.has_cap, run.has_cap);
    EXPECT_EQ(expected.cap, run.cap);
  }
}

}  // namespace

TEST(MpiEndToEnd, EveryReferenceCaseGivesTheBitsOfVornax) {
  int cases = 0;
  DIR* dir = opendir(VORNAX_TEST_DATA);
  ASSERT_NE(nullptr, dir);
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < 8 || name.compare(name.size() - 7, 7, ".panels") != 0) continue;
    expect_same_as_vornax("'" VORNAX_TEST_DATA "/" + name + "'", {2});
    ++cases;
  }
  closedir(dir);
  EXPECT_GE(cases, 10);
}

TEST(MpiEndToEnd, TwelveByTwelveBusOnOneTwoAndThreeRanks) {
  char pattern[] = "/tmp/vornax-mpi-bus-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  ASSERT_EQ(0, std::system(("'" VORNAX_GEN_BINARY "' bus 12 > '" + dir + "/bus12.txt'").c_str()));
  expect_same_as_vornax(dir + "/bus12.txt", {1, 2, 3});
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(MpiEndToEnd, FailuresAreReportedOnceAndEndEveryRank) {
  // A faulty file: one message, by rank 0 alone, however many ranks read nothing.
  const RunOutcome faulty =
      run_in_fresh_folder(mpi_program(3), "'" VORNAX_TEST_DATA "/err_duplicate.panels'");
  EXPECT_EQ(1, faulty.exit_status);
  EXPECT_EQ(read_file(VORNAX_TEST_DATA "/err_duplicate.stdout"), faulty.out);
  EXPECT_FALSE(faulty.has_cap);
  expect_same_as_vornax("no-such-file.panels", {3});
  expect_same_as_vornax("", {2});
  expect_same_as_vornax("a.panels b.panels", {2});
}

TEST(MpiEndToEnd, AWorkerOutOfMemoryEndsTheRunWithOneMessage) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer build cannot run under ulimit -v";
#endif
  // Rank 1 alone runs under 400 MB of address space: room for MPI's own start, whose shared
  // segments now and then fail to map under 100 MB, but too little for its share of P and the
  // factor of the 64 x 64 bus (the whole takes 0.9 GB at 48 x 48); rank 0 has room and reports it.
  char pattern[] = "/tmp/vornax-mpi-oom-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string bus = "'" + dir + "/bus64.txt'";
  ASSERT_EQ(0, std::system(("'" VORNAX_GEN_BINARY "' bus 64 > " + bus).c_str()));
  const std::string ranks = mpi_program(1) + " " + bus +
                            " : -np 1 sh -c 'ulimit -v 400000 && exec \"$0\" \"$1\"' "
                            "'" VORNAX_MPI_BINARY "'";
  const RunOutcome run = run_in_fresh_folder(ranks, bus);
  EXPECT_EQ(1, run.exit_status);
  EXPECT_EQ("\nNot enough memory!!\n\n", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_FALSE(run.has_cap);
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(MpiEndToEnd, AnEarlyFailureLeavesNoEarlierResult) {
  // Rank 0 removes an older Cap.txt before any check of the environment can end the run.
  char pattern[] = "/tmp/vornax-mpi-stale-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string command = "cd '" + dir + "' && echo old > Cap.txt && VORNAX_ISA=avx9 " +
                              mpi_program(2) + " '" VORNAX_TEST_DATA "/cube.panels' > out.txt " +
                              "2> err.txt; echo $? > status.txt";
  std::system(command.c_str());
  EXPECT_EQ("1\n", read_file(dir + "/status.txt"));
  EXPECT_EQ("", read_file(dir + "/out.txt"));
  EXPECT_EQ(0u, read_file(dir + "/err.txt").find("Error: VORNAX_ISA=avx9 names no "));
  struct stat info;
  EXPECT_NE(0, stat((dir + "/Cap.txt").c_str(), &info));
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(MpiEndToEnd, ASolveThatGivesUpOnAnyRankEndsTheJobNamingTheLowest) {
  // Conductors 2 and 10 give up at their first step wherever they are solved; every solve above
  // conductor 2 would take minutes. The job ends with the message for 2, once, whichever rank
  // met which first, and well within the time limit of the run: the ranks stop the solves above
  // a failure as soon as they hear of it.
  for (int ranks : {1, 2, 3}) {
    SCOPED_TRACE(ranks);
    const std::string job =
        std::string("env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 '" VORNAX_MPIEXEC
                    "' -q --oversubscribe --bind-to none -np ") +
        std::to_string(ranks) + " '" VORNAX_FAILING_SOLVES_JOB "'";
    const RunOutcome run = run_in_fresh_folder(job, "");
    EXPECT_EQ(1, run.exit_status);
    EXPECT_EQ("Error: The solve for conductor 2 (number 20) did not converge.\n", run.out);
    EXPECT_EQ("", run.err);
    EXPECT_FALSE(run.has_cap);
  }
}
