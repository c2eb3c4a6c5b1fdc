// vornax-fine: the capacitance matrix to a stated accuracy, with an estimate of its error.
#include <string>
#include <vector>

#include "fine/program/fine_run.h"

int main(int argc, char** argv) {
  return run_fine(std::vector<std::string>(argv + 1, argv + argc), FineProcess{});
}
