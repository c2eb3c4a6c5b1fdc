#include "common/companion_request.h"

#include <iostream>

bool answer_companion_request(const std::vector<std::string>& arguments, const char* usage,
                              const char* name_and_version) {
  for (const std::string& argument : arguments) {
    if (argument == "--help") {
      std::cout << usage;
      return true;
    }
    if (argument == "--version") {
      std::cout << name_and_version << '\n';
      return true;
    }
  }
  return false;
}
