// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramOptions.h"

#include <cerrno>
#include <cstdlib>

#include "station/PollingIntervals.h"

namespace vemo {

namespace {

std::string OfferedIntervals() {
  std::string text;
  for (const int ms : kPollingIntervalsMs) text += (text.empty() ? "" : ", ") + std::to_string(ms);
  return text;
}

int ParseInterval(const std::string& value) {
  const std::string hint = "--interval takes milliseconds, one of " + OfferedIntervals() + ".";
  if (value.empty()) throw ProgramUsageError(hint);
  char* end = nullptr;
  errno = 0;
  const long ms = std::strtol(value.c_str(), &end, 10);
  const bool digitsOnly = value.find_first_not_of("0123456789") == std::string::npos;
  // The range test comes first: a huge number must not wrap into an offered one.
  if (!digitsOnly || errno != 0 || *end != '\0' || ms > kPollingIntervalsMs.back() ||
      !IsPollingInterval(static_cast<int>(ms)))
    throw ProgramUsageError("\"" + value + "\" is not a polling interval: " + hint);
  return static_cast<int>(ms);
}

// The toolkit's own command-line options, taken with one dash or two.
constexpr const char* kToolkitOptionsWithValue[] = {"platform",
                                                    "platformpluginpath",
                                                    "platformtheme",
                                                    "plugin",
                                                    "qwindowgeometry",
                                                    "geometry",
                                                    "qwindowtitle",
                                                    "title",
                                                    "qwindowicon",
                                                    "icon",
                                                    "session",
                                                    "display",
                                                    "name",
                                                    "style",
                                                    "stylesheet",
                                                    "visual",
                                                    "qmljsdebugger"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb",
                                         "dograb",  "testability", "sync"};

}  // namespace

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::size_t dashes = a.rfind("--", 0) == 0 ? 2 : a.rfind('-', 0) == 0 ? 1 : 0;
    const std::string name = a.substr(dashes, a.find('=') - dashes);
    const bool attached = a.find('=') != std::string::npos;
    bool toolkit = false;
    for (const char* option : kToolkitFlags) toolkit = toolkit || (name == option && !attached);
    for (const char* option : kToolkitOptionsWithValue) {
      if (name != option) continue;
      toolkit = true;
      if (!attached) ++i;  // its value
    }
    if (dashes == 0 || !toolkit) rest.push_back(a);
  }
  return rest;
}

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
  ProgramOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> attached;
    if (const std::size_t eq = name.find('=');
        name.rfind("--", 0) == 0 && eq != std::string::npos) {
      attached = name.substr(eq + 1);
      name.resize(eq);
    }
    const auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= args.size()) throw ProgramUsageError(name + " needs a value.");
      return args[++i];
    };
    const auto noValue = [&] {
      if (attached) throw ProgramUsageError(name + " takes no value.");
    };
    if (name == "--help" || name == "-h") {
      noValue();
      options.help = true;
    } else if (name == "--version" || name == "-v") {
      noValue();
      options.version = true;
    } else if (name == "--continuous") {
      noValue();
      options.continuous = true;
    } else if (name == "--interval") {
      options.intervalMs = ParseInterval(value());
    } else if (name == "--log") {
      const std::string file = value();
      if (file.empty()) throw ProgramUsageError("--log needs the name of a CSV file.");
      options.logFile = file;
    } else if (name == "--alarm-log") {
      const std::string file = value();
      if (file.empty()) throw ProgramUsageError("--alarm-log needs the name of a CSV file.");
      options.alarmLogFile = file;
    } else {
      throw ProgramUsageError("Unknown option \"" + args[i] + "\". Try --help.");
    }
  }
  return options;
}

std::string ProgramUsage() {
  return "Usage: VemoSWR [options]\n"
         "Shows the readings of an RF power and VSWR monitor on a serial port.\n"
         "\n"
         "Options:\n"
         "  --continuous     start continuous readings at once\n"
         "  --interval MS    poll every MS milliseconds: " +
         OfferedIntervals() +
         "\n"
         "  --log FILE       log every reading to the CSV file FILE\n"
         "  --alarm-log FILE log alarm events to the CSV file FILE for this run, in place\n"
         "                   of the alarm log named in the settings\n"
         "  -h, --help       show this text\n"
         "  -v, --version    show the program's version\n"
         "\n"
         "The interval and the log file are kept in the settings file as if chosen from the\n"
         "menu. The settings file is the file named by the environment variable\n"
         "VEMOSWR_INI, else VemoSWR.ini beside the program if it is there, else\n"
         "~/.config/VemoSWR/VemoSWR.ini ($XDG_CONFIG_HOME/VemoSWR/VemoSWR.ini).\n"
         "An open port is locked with a lock file in /run/lock (VEMOSWR_LOCK_DIR names\n"
         "another folder). VEMOSWR_SCREENSHOT=<file.png> saves a picture of the main\n"
         "window a few seconds after start and quits.\n";
}

}  // namespace vemo
