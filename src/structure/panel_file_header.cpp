#include "structure/panel_file_header.h"

#include <algorithm>
#include <sstream>

#include "common/message_text.h"

namespace {

bool is_unit(const std::string& token) {
  for (const char* unit : {"m", "cm", "mm", "um", "nm"}) {
    if (token == unit) return true;
  }
  return false;
}

/// A position of a masters line: decimal digits, not 0, at most 2^32 - 1.
bool parse_position(const std::string& token, uint32_t& position) {
  if (token.empty() || token.size() > 10 || token.find_first_not_of("0123456789") != token.npos)
    return false;
  uint64_t value = std::stoull(token);
  if (value == 0 || value > UINT32_MAX) return false;
  position = static_cast<uint32_t>(value);
  return true;
}

/// The positions of a line "masters N ...", or false for a line that is something else.
bool masters_of(const std::vector<std::string>& tokens, std::vector<uint32_t>& positions) {
  if (tokens.size() < 2 || tokens[0] != "masters") return false;
  positions.clear();
  for (size_t k = 1; k < tokens.size(); ++k) {
    uint32_t position;
    if (!parse_position(tokens[k], position) ||
        std::find(positions.begin(), positions.end(), position) != positions.end())
      return false;
    positions.push_back(position);
  }
  return true;
}

}  // namespace

std::string read_panel_file_header(std::istream& in, const std::string& file_name,
                                   PanelFileHeader& header) {
  header = PanelFileHeader{};
  std::string line;
  for (int32_t number = 1; std::getline(in, line); ++number) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string token; words >> token;) tokens.push_back(token);
    if (std::find(tokens.begin(), tokens.end(), "Q") != tokens.end()) break;
    std::string at = one_line(file_name) + ":" + std::to_string(number) + ": ";
    std::vector<uint32_t> positions;
    if (tokens.size() == 2 && tokens[0] == "unit" && is_unit(tokens[1])) {
      if (header.unit_line > 0)
        return at + "a second line declares the unit, after line " +
               std::to_string(header.unit_line);
      header.unit = tokens[1];
      header.unit_line = number;
    } else if (masters_of(tokens, positions)) {
      if (header.masters_line > 0)
        return at + "a second line declares the master conductors, after line " +
               std::to_string(header.masters_line);
      header.masters = positions;
      header.masters_line = number;
    }
  }
  return "";
}

std::string master_indices(const PanelFileHeader& header, size_t conductors,
                           const std::string& file_name, std::vector<uint32_t>& masters) {
  masters.clear();
  for (uint32_t position : header.masters) {
    if (position > conductors)
      return one_line(file_name) + ":" + std::to_string(header.masters_line) +
             ": master conductor " + std::to_string(position) + " of " + std::to_string(conductors);
    masters.push_back(position - 1);
  }
  return "";
}
