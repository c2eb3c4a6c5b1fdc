#pragma once

#include <string>

/// A fatal condition that a pass hands back instead of ending the process where it is found.
/// The top of each program shows it and ends with exit status 1: vornax on the stream given
/// here, as its passes always have, vornax-view on standard error, away from its picture.
struct Failure {
  std::string message;             // the text to show, without its final line end; "" for none
  bool on_standard_error = false;  // vornax shows it on standard error, not standard output

  /// True once a message has been set.
  bool occurred() const { return !message.empty(); }
};
