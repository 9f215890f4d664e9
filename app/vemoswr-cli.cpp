// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswr-cli: the monitor session from the command line, over the same serial layer and
// session as the program (see app/cli/CliOptions.cpp for the usage).
#include "app/cli/CliCommands.h"
#include "app/cli/CliMessages.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliPorts.h"
#include "app/cli/OutputCheck.h"
#include "monitor/MonitorLink.h"
#include "platform/PortNames.h"
#include "platform/SettingsPath.h"
#include "platform/Version.h"
#include "station/IsoTime.h"

#include <QCoreApplication>
#include <QLocale>

#include <clocale>
#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
  using namespace vemo::cli;
  QCoreApplication app(argc, argv);
  // Numbers go out and come in with "." as the program's do; the application object has
  // just switched the C library to the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  std::vector<std::string> args(argv + 1, argv + argc);

  CliOptions options;
  try {
    options = ParseCliOptions(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vemoswr-cli: %s\nTry 'vemoswr-cli --help'.\n", e.what());
    return 2;
  }
  // Whatever a command printed must have reached its file for the status to say success.
  const auto finished = [](int status) {
    try {
      CheckOutput(stdout);
      return status;
    } catch (const OutputError& e) {
      std::fprintf(stderr, "vemoswr-cli: %s\n", e.what());
      return 1;
    }
  };
  if (options.help) {
    std::fputs(kCliUsage, stdout);
    std::printf("\nSettings file in use: %s\n", vemo::SettingsFilePath().c_str());
    for (const std::string& site : vemo::SiteSettingsBeneath(vemo::SettingsFilePath()))
      std::printf("Site defaults beneath it: %s\n", site.c_str());
    return finished(0);
  }
  if (options.version) {
    std::printf("vemoswr-cli %s\n%s", vemo::kVersion, vemo::kLicenceNotice);
    return finished(0);
  }

  if (options.command == Command::Ports) return finished(ListPorts(stdout));
  if (options.command == Command::Report)
    return finished(WriteCliReport(options.report, stdout, stderr));
  if (options.command == Command::History) {
    vemo::SetIsoTimesInUtc(options.utc);
    return finished(ExportHistory(options.history, stdout, stderr));
  }

  const auto fail = [](const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "vemoswr-cli: %s\n", message.c_str());
    return 1;
  };
  const bool byNumber = options.device.empty();
  const std::string path = byNumber ? vemo::PortDevicePath(options.port) : options.device;
  const std::string name = DeviceName(options.port, path, byNumber);
  vemo::MonitorLink link;
  link.SetDevice(options.port, options.device);
  try {
    link.Open();
  } catch (const std::exception& e) {
    return fail(OpenFailureMessage(e, name, path));
  }
  try {
    link.Settle();
    const bool identified = link.Monitor().Identify();
    return finished(RunCliCommand(options, link, identified, CliStreams{}));
  } catch (const OutputError& e) {
    return fail(e.what());
  } catch (const std::exception& e) {
    return fail(RunFailureMessage(e, name, link.DeviceLost()));
  }
}
