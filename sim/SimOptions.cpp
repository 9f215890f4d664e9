// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>

namespace vemo::sim {

const char* const kSimUsage =
    "usage: vemoswr-sim [options]\n"
    "Simulated RF power and VSWR monitor on a pseudo-terminal. Prints the device path as\n"
    "its first line on standard output and serves until SIGINT or SIGTERM.\n"
    "\n"
    "  --link PATH             symbolic link to the device (removed at exit)\n"
    "  --model ID              identification, up to 8 characters (KRFMON03)\n"
    "  --firmware YYYY-MM-DD   firmware date, 1981..2080 (2010-06-01)\n"
    "  --full-scale W          full scale reported by the monitor, watts (125)\n"
    "  --forward W             forward power, watts (50)\n"
    "  --resonance HZ          an antenna resonant here: reflected power follows the\n"
    "                          frequency (control line frequency HZ, or --rig)\n"
    "  --bandwidth HZ          the antenna's bandwidth between VSWR 2.0 points (300000)\n"
    "  --rig HOST:PORT         follow the rig behind this rigctld: its frequency, and\n"
    "                          forward power only while it is keyed\n"
    "  --reflected W           reflected power, watts (1)\n"
    "  --noise F               relative noise of each measurement, 0 for none (0.005)\n"
    "  --forward-counts N      forward converter counts above zero at 16 % of full\n"
    "                          scale (5243)\n"
    "  --reflected-counts N    reflected converter counts above zero at 1.6 % of full\n"
    "                          scale (5243)\n"
    "  --forward-zero N        forward converter counts at no power (0)\n"
    "  --reflected-zero N      reflected converter counts at no power (0)\n"
    "  --seed N                seed of the noise (1)\n"
    "  --status HEX            status bits at power-up (00C8)\n"
    "  --vswr-level N          VSWR alarm level code 0..12 at power-up (7: VSWR 2.0)\n"
    "  --transcript FILE       JSON lines: every command received and reply sent\n"
    "  -h, --help              this text\n"
    "  --version               the simulator's version\n"
    "faults:\n"
    "  --silent                never answer\n"
    "  --stop-after N          answer N commands, then fall silent\n"
    "  --hangup-after N        drop the line after N commands (unplugged)\n"
    "  --delay-ms N            wait N ms before every reply\n"
    "  --pace                  send at 9600 baud (1.04 ms per byte)\n"
    "  --burst-chance P        chance 0..1 of 1 to 64 random bytes before a reply (0)\n"
    "  --truncate-chance P     chance 0..1 of a reply cut short (0)\n"
    "  --overlong-chance P     chance 0..1 of 1 to 32 random bytes after a reply (0)\n"
    "  --jitter-ms N           random extra delay of 0 to N ms before every reply (0)\n"
    "  --stray-prefix TEXT     send TEXT before every P=, H=, L=, G=, D= reply\n"
    "  --stray-prompt          send a leftover '>' before every reading\n"
    "  --bad-eeprom-echo       EEPROM writes fail and echo another word\n"
    "  --garbage-numbers       number fields hold dashes instead of digits\n"
    "  --no-prompt-calibration answer calibration steps without their prompt\n"
    "  --calibration-error     confirming a calibration step always fails\n"
    "\n"
    "The calibration words (EEPROM 0..3) start out matching the converters. The\n"
    "monitor loads them and the full scale (EEPROM 32, 34) at power-up only: what is\n"
    "written to the EEPROM changes the readings after the next power cycle.\n"
    "\n"
    "Standard input takes control lines: forward W, reflected W, full-scale W (another\n"
    "range, in use at once), power-cycle, hangup, plug (after a hangup: the device is back,\n"
    "on a new pty behind the same link), burst N (N random bytes at once, 1..4096),\n"
    "line-noise BURST TRUNCATE OVERLONG JITTER-MS (the four options above; all 0: sane),\n"
    "reading-reply HEX (every reading answered with these bytes; none: measure again),\n"
    "frequency HZ (the transmitter's frequency, for --resonance).\n";

namespace {

double ParseNumber(const std::string& option, const std::string& text, double low, double high) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < low || value > high)
    throw std::invalid_argument(option + ": '" + text + "' is not a number from " +
                                std::to_string(low) + " to " + std::to_string(high));
  return value;
}

long ParseCount(const std::string& option, const std::string& text, long high, long low = 0) {
  const double value =
      ParseNumber(option, text, static_cast<double>(low), static_cast<double>(high));
  if (value != std::floor(value))
    throw std::invalid_argument(option + ": '" + text + "' is not a whole number");
  return static_cast<long>(value);
}

FirmwareDate ParseDate(const std::string& text) {
  FirmwareDate date;
  char dash1 = 0, dash2 = 0;
  int consumed = 0;
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%n", &date.year, &dash1, &date.month, &dash2,
                  &date.day, &consumed) != 5 ||
      static_cast<size_t>(consumed) != text.size() || dash1 != '-' || dash2 != '-' ||
      date.year < 1981 || date.year > 2080 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > kDays[date.month - 1] ||
      (date.month == 2 && date.day == 29 && (date.year % 4 != 0 || date.year % 100 == 0) &&
       date.year % 400 != 0))
    throw std::invalid_argument("--firmware: '" + text +
                                "' is no date YYYY-MM-DD between 1981 and 2080 (two-digit years)");
  return date;
}

}  // namespace

SimOptions ParseSimOptions(const std::vector<std::string>& args) {
  SimOptions options;
  SimConfig& c = options.config;
  using Setter = std::function<void(const std::string&)>;
  const std::map<std::string, Setter> withValue = {
      {"--link", [&](const std::string& v) { options.linkPath = v; }},
      {"--transcript", [&](const std::string& v) { options.transcriptPath = v; }},
      {"--model",
       [&](const std::string& v) {
         if (v.empty() || v.size() > 8)
           throw std::invalid_argument("--model: the identification has 1 to 8 characters");
         c.model = v;
       }},
      {"--firmware", [&](const std::string& v) { c.firmware = ParseDate(v); }},
      {"--full-scale",
       [&](const std::string& v) { c.fullScale = ParseNumber("--full-scale", v, 1e-6, 6.5e9); }},
      {"--forward",
       [&](const std::string& v) { c.forward = ParseNumber("--forward", v, 0, 1e10); }},
      {"--reflected",
       [&](const std::string& v) { c.reflected = ParseNumber("--reflected", v, 0, 1e10); }},
      {"--resonance",
       [&](const std::string& v) { c.resonanceHz = ParseNumber("--resonance", v, 1, 1e11); }},
      {"--bandwidth",
       [&](const std::string& v) { c.bandwidthHz = ParseNumber("--bandwidth", v, 1, 1e11); }},
      {"--rig", [&](const std::string& v) { c.rig = v; }},
      {"--noise", [&](const std::string& v) { c.noise = ParseNumber("--noise", v, 0, 1); }},
      {"--forward-counts",
       [&](const std::string& v) {
         c.forwardCounts = static_cast<uint16_t>(ParseCount("--forward-counts", v, 65535));
       }},
      {"--reflected-counts",
       [&](const std::string& v) {
         c.reflectedCounts = static_cast<uint16_t>(ParseCount("--reflected-counts", v, 65535));
       }},
      {"--forward-zero",
       [&](const std::string& v) {
         c.forwardZero = static_cast<int16_t>(ParseCount("--forward-zero", v, 32767, -32768));
       }},
      {"--reflected-zero",
       [&](const std::string& v) {
         c.reflectedZero = static_cast<int16_t>(ParseCount("--reflected-zero", v, 32767, -32768));
       }},
      {"--seed",
       [&](const std::string& v) {
         c.seed = static_cast<uint32_t>(ParseCount("--seed", v, 0xFFFFFFFF));
       }},
      {"--status",
       [&](const std::string& v) {
         char* end = nullptr;
         const unsigned long value = std::strtoul(v.c_str(), &end, 16);
         if (v.empty() || *end != '\0' || value > 0xFFFF)
           throw std::invalid_argument("--status: '" + v + "' is no hexadecimal word");
         c.status = static_cast<uint16_t>(value);
       }},
      {"--vswr-level",
       [&](const std::string& v) {
         c.vswrLevel = static_cast<int>(ParseCount("--vswr-level", v, 12));
       }},
      {"--stop-after",
       [&](const std::string& v) { c.stopAfter = ParseCount("--stop-after", v, 1L << 30); }},
      {"--hangup-after",
       [&](const std::string& v) { c.hangupAfter = ParseCount("--hangup-after", v, 1L << 30); }},
      {"--delay-ms",
       [&](const std::string& v) {
         c.delayMs = static_cast<int>(ParseCount("--delay-ms", v, 600000));
       }},
      {"--stray-prefix", [&](const std::string& v) { c.strayPrefix = v; }},
      {"--burst-chance",
       [&](const std::string& v) { c.burstChance = ParseNumber("--burst-chance", v, 0, 1); }},
      {"--truncate-chance",
       [&](const std::string& v) { c.truncateChance = ParseNumber("--truncate-chance", v, 0, 1); }},
      {"--overlong-chance",
       [&](const std::string& v) { c.overlongChance = ParseNumber("--overlong-chance", v, 0, 1); }},
      {"--jitter-ms",
       [&](const std::string& v) {
         c.jitterMs = static_cast<int>(ParseCount("--jitter-ms", v, 600000));
       }},
  };
  const std::map<std::string, bool*> flags = {
      {"--silent", &c.silent},
      {"--stray-prompt", &c.strayPrompt},
      {"--bad-eeprom-echo", &c.badEepromEcho},
      {"--pace", &c.pace},
      {"--garbage-numbers", &c.garbageNumbers},
      {"--no-prompt-calibration", &c.noPromptCalibration},
      {"--calibration-error", &c.calibrationError},
      {"--help", &options.help},
      {"-h", &options.help},
      {"--version", &options.version},
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    const size_t eq = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (auto flag = flags.find(name); flag != flags.end() && !inlineValue) {
      *flag->second = true;
    } else if (auto setter = withValue.find(name); setter != withValue.end()) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
        value = args[++i];
      }
      setter->second(value);
    } else {
      throw std::invalid_argument("unknown option " + args[i]);
    }
  }
  return options;
}

}  // namespace vemo::sim
