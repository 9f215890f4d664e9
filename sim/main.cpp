// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswr-sim: the simulated monitor (see SimServer.h for what it does and its transcript).
#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <exception>

#include "platform/Version.h"
#include "sim/SimOptions.h"
#include "sim/SimServer.h"

int main(int argc, char** argv) {
  using namespace vemo::sim;
  SimOptions options;
  try {
    options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vemoswr-sim: %s (try --help)\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(kSimUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vemoswr-sim %s\n%s", vemo::kVersion, vemo::kLicenceNotice);
    return 0;
  }

  // SIGINT and SIGTERM arrive through a descriptor the server polls with everything else.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  signal(SIGPIPE, SIG_IGN);  // a reader of standard output that went away is no reason to die
  // Started in the background of an interactive shell, reading the control lines must not
  // stop the simulator: the read fails instead and control input is given up.
  signal(SIGTTIN, SIG_IGN);

  try {
    SimServer server(options.config, options.linkPath, options.transcriptPath);
    std::printf("%s\n", server.DevicePath().c_str());
    std::fflush(stdout);
    server.Run(signalFd);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vemoswr-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
