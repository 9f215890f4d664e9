// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/OutputCheck.h"

#include <signal.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace vemo::cli {

void CheckOutput(std::FILE* out) {
  errno = 0;
  if (std::fflush(out) == 0 && !std::ferror(out)) return;
  // An earlier failed write leaves only the error flag; its number may be gone by now.
  const int error = errno != 0 ? errno : EIO;
  if (error == EPIPE) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::signal(SIGPIPE, SIG_DFL);
    ::pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
    ::raise(SIGPIPE);
  }
  throw OutputError(std::string("cannot write the output: ") + std::strerror(error));
}

}  // namespace vemo::cli
