#pragma once

#include <string>

/// A file name as it may appear in a one-line message: control bytes become '?'; the rest,
/// UTF-8 included, is kept whole.
std::string one_line(const std::string& name);

/// A token as it may appear in a one-line message: control and non-ASCII bytes become '?', and
/// a long token is cut.
std::string printable(const std::string& token);
