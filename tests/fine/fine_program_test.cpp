// The command line of vornax-fine and the contract of its Cap.txt: usage and exit 2 for bad
// arguments, one message and exit 1 for a bad file with no Cap.txt left, and a complete run
// that replaces the result and reports its levels and its estimated error.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "../test_files.h"

namespace {

struct ProgramRun {
  int status;       // exit status, -1 when killed
  std::string out;  // standard output
  std::string err;  // standard error
  bool has_cap;     // Cap.txt exists afterwards
  std::string cap;  // its text
};

class FineProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vornax-fine-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  ProgramRun run(const std::string& arguments) {
    std::string command =
        "cd '" + dir_ + "' && '" VORNAX_FINE_BINARY "' " + arguments + " > out.txt 2> err.txt";
    int status = std::system(command.c_str());
    ProgramRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir_ + "/out.txt"),
                      read_file(dir_ + "/err.txt"), false, ""};
    std::ifstream cap(dir_ + "/Cap.txt");
    result.has_cap = cap.good();
    if (result.has_cap) result.cap = read_file(dir_ + "/Cap.txt");
    return result;
  }

  std::string dir_;
};

const char kUsageStart[] =
    "usage: vornax-fine FILE [--accuracy PERCENT] [--nets NAME[,NAME...]|all]\n";

}  // namespace

TEST_F(FineProgram, BadArgumentsGiveTheUsageAndStatusTwo) {
  for (const char* arguments :
       {"", "a b", "--accuracy", "x --accuracy 0", "x --accuracy 10.5", "x --accuracy one",
        "x --accuracy 1 --accuracy 2", "x --fast", "x --window side", "x --nets a,,b",
        "x --nets a,a", "x --permittivity 0", "x --min-coupling 101", "x --dspf"}) {
    ProgramRun result = run(arguments);
    EXPECT_EQ(2, result.status) << arguments;
    EXPECT_EQ("", result.out) << arguments;
    EXPECT_NE(std::string::npos, result.err.find(kUsageStart)) << arguments;
    EXPECT_EQ(0u, result.err.find("vornax-fine: ")) << arguments;
  }
  ProgramRun help = run("--help");
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find(kUsageStart));
}

TEST_F(FineProgram, AFaultyFileEndsWithOneMessageAndNoResult) {
  write("Cap.txt", "an earlier result\n");
  write("bad.txt", "Q 1 0 0 0 1 0 0 1 1 0 0 1 x\n");
  ProgramRun bad = run("bad.txt");
  EXPECT_EQ(1, bad.status);
  EXPECT_EQ("Error: Panel record 1: coordinate z4 'x' is not a number.\n", bad.err);
  EXPECT_FALSE(bad.has_cap);
  ProgramRun missing = run("missing.txt");
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ("vornax-fine: cannot open the panel file 'missing.txt'.\n", missing.err);
  EXPECT_FALSE(missing.has_cap);
}

TEST_F(FineProgram, AFaultyCap3dFileEndsWithOneMessageAndNoResult) {
  write("Cap.txt", "an earlier result\n");
  write("bad.cap3d", "// no window\n<cap3d>\n</cap3d>\n");
  ProgramRun bad = run("bad.cap3d");
  EXPECT_EQ(1, bad.status);
  EXPECT_EQ("vornax-fine: bad.cap3d:3: the file has no <window>\n", bad.err);
  EXPECT_FALSE(bad.has_cap);
}

TEST_F(FineProgram, ACompleteRunReportsItsLevelsAndWritesTheMatrix) {
  write("Cap.txt", "an earlier result\n");
  write("plates.txt", read_file(std::string(VORNAX_EXAMPLES) + "/plates.txt"));
  ProgramRun result = run("plates.txt --accuracy 2");
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.err);
  // One line per level, the first without a change, then the estimate.
  std::regex expected(
      "Level 1: [0-9]+ unknowns, [0-9]+ interactions, [0-9]+ iterations, [0-9.]+ s, "
      "largest change -\n"
      "(Level [0-9]+: [0-9]+ unknowns, [0-9]+ interactions, [0-9]+ iterations, [0-9.]+ s, "
      "largest change [0-9.e-]+ %\n){2,}"
      "Estimated error: [0-9.e-]+ %\n");
  EXPECT_TRUE(std::regex_match(result.out, expected)) << result.out;
  // Two rows of two values, nine significant digits less the trailing zeros %.9g drops (as in
  // -1139.8916), each followed by one space.
  std::regex matrix(
      "(-?[0-9](\\.[0-9]{1,8})?e\\+[0-9]{2} |-?[0-9][0-9.]{0,10} ){2}\n"
      "(-?[0-9](\\.[0-9]{1,8})?e\\+[0-9]{2} |-?[0-9][0-9.]{0,10} ){2}\n");
  EXPECT_TRUE(std::regex_match(result.cap, matrix)) << result.cap;
  double c11, c12, c21, c22;
  std::istringstream(result.cap) >> c11 >> c12 >> c21 >> c22;
  EXPECT_NEAR(1408.47, c11, 0.02 * 1408.47);
  EXPECT_NEAR(-1140.01, c12, 0.02 * 1140.01);
  EXPECT_EQ(c12, c21);
  // The plates are mirror images: equal to the relative error of a level's own solves (3e-6).
  EXPECT_NEAR(c11, c22, 3e-6 * c11);
}

// The start of vornax: an unusable VORNAX_ISA ends the run after the earlier result is gone, and
// a standard output nobody reads any more costs the level lines, not the result.
TEST_F(FineProgram, StartsAsVornaxAndKeepsItsResultWhenTheConsoleIsGone) {
  write("Cap.txt", "an earlier result\n");
  write("plates.txt", read_file(std::string(VORNAX_EXAMPLES) + "/plates.txt"));
  const std::string cd = "cd '" + dir_ + "' && ", fine = "'" VORNAX_FINE_BINARY "' plates.txt";
  int status = std::system((cd + "VORNAX_ISA=avx9 " + fine + " > out.txt 2> err.txt").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(0u, read_file(dir_ + "/err.txt").find("Error: VORNAX_ISA=avx9 names no "));
  EXPECT_FALSE(std::ifstream(dir_ + "/Cap.txt").good());

  const std::string expected = run("plates.txt --accuracy 2").cap;
  ASSERT_FALSE(expected.empty());
  std::remove((dir_ + "/Cap.txt").c_str());
  // head reads nothing and ends at once; the level lines then meet a closed pipe.
  std::system((cd + "{ " + fine + " --accuracy 2; echo $? > status.txt; } | head -c 0").c_str());
  EXPECT_EQ("0\n", read_file(dir_ + "/status.txt"));
  EXPECT_EQ(expected, read_file(dir_ + "/Cap.txt"));
}
