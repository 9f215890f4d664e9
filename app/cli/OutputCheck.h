// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard output that does not take what the tool writes (a full disk, a file system gone
// read-only): a script that logs readings must learn it from the exit status, not find a
// short file later.

#include <cstdio>
#include <stdexcept>

namespace vemo::cli {

// Writing to the tool's output failed; what() names the system's error.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Flushes out and raises OutputError when this or any earlier write to it failed. A reader
// that closed its end of a pipe ends the process by SIGPIPE, quietly, as it ends any
// filter, even where SIGPIPE was inherited ignored.
void CheckOutput(std::FILE* out);

}  // namespace vemo::cli
