// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/AlarmSettings.h"

#include "platform/Exception.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace vemo {

namespace {

constexpr const char* kSection = "Alarms";

// The number keys, where each lives in the settings, and what a good value is.
struct NumberKey {
  const char* Name;
  double TAlarmLevels::*Field;
  double Low;         // a value must be 0 (off) or above this
  const char* Means;  // for the warning
};

constexpr NumberKey kNumberKeys[] = {
    {"VSWRAbove", &TAlarmLevels::VSWRAbove, 1, "0 or a VSWR above 1"},
    {"ReflectedAbove", &TAlarmLevels::ReflectedAbove, 0, "0 or more watts"},
    {"ForwardBelow", &TAlarmLevels::ForwardBelow, 0, "0 or more watts"},
    {"OffAirBelow", &TAlarmLevels::OffAirBelow, 0, "0 or more watts"},
    {"KeyedAbove", &TAlarmLevels::KeyedAbove, 0, "\"auto\" or 0 or more watts"},
    {"LinkLostAfter", &TAlarmLevels::LinkLostAfter, 0, "0 or more seconds"},
    {"Delay", &TAlarmLevels::Delay, 0, "0 or more seconds"},
    {"VSWRClearBelow", &TAlarmLevels::VSWRClearBelow, 1, "0 or a VSWR above 1"},
    {"ReflectedClearBelow", &TAlarmLevels::ReflectedClearBelow, 0, "0 or more watts"},
    {"ForwardClearAbove", &TAlarmLevels::ForwardClearAbove, 0, "0 or more watts"},
    {"OffAirClearAbove", &TAlarmLevels::OffAirClearAbove, 0, "0 or more watts"},
    {"ForwardDropDb", &TAlarmLevels::ForwardDropDb, 0, "0 or more dB"},
    {"ReflectedRiseFactor", &TAlarmLevels::ReflectedRiseFactor, 1, "0 or a factor above 1"},
    {"VSWRRiseFactor", &TAlarmLevels::VSWRRiseFactor, 1, "0 or a factor above 1"},
};

struct CountKey {
  const char* Name;
  int TAlarmLevels::*Field;
};
constexpr CountKey kCountKeys[] = {{"TripReadings", &TAlarmLevels::TripReadings},
                                   {"OfReadings", &TAlarmLevels::OfReadings}};

// The text names the file, not a dialog: the service reads the same keys and has none.
std::string Warning(const char* key, const std::string& text, const std::string& means,
                    const std::string& used) {
  return std::string("Alarm setting ") + key + "=\"" + text + "\" in the settings file is not " +
         means + "; " + used + " is used until the value is corrected.";
}

// How a value reads in a warning: "0 (off)", "2.5", "auto".
std::string UsedText(double value, bool keyed) {
  if (keyed && value < 0) return "\"auto\" (a share of the full scale)";
  if (value == 0) return "0 (off)";
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool ParseNumber(const std::string& text, double& value) {
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last && std::isfinite(value);
}

std::string Written(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// The profile drops one pair of matching quotes around a value it reads; a command line
// such as "/opt/my tools/beep" "now" must keep its own.
std::string Protected(const std::string& text) {
  const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                      text.back() == text.front();
  return quoted ? '"' + text + '"' : text;
}

}  // namespace

std::string DefaultAlarmLogPath(const std::string& settingsFile) {
  return FolderOf(settingsFile) + "VemoSWR-alarms.csv";
}

TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file) {
  return ReadAlarmSettings(file, kSection);
}

std::string AlarmSourceList(unsigned sources) {
  if (sources == 0) return "none";
  if ((sources & kLatchAll) == kLatchAll) return "all";
  std::string text;
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto source = static_cast<AlarmSource>(i);
    if (!(sources & AlarmSourceBit(source))) continue;
    if (!text.empty()) text += ',';
    text += AlarmSourceName(source);
  }
  return text;
}

bool ParseAlarmSourceList(const std::string& text, unsigned& sources) {
  if (text == "all" || text == "none") {
    sources = text == "all" ? kLatchAll : 0;
    return true;
  }
  unsigned bits = 0;
  size_t from = 0;
  while (from <= text.size()) {
    const size_t comma = std::min(text.find(',', from), text.size());
    std::string name = text.substr(from, comma - from);
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    AlarmSource source;
    if (!AlarmSourceOfName(name.c_str(), source)) return false;
    bits |= AlarmSourceBit(source);
    from = comma + 1;
  }
  sources = bits;
  return true;
}

TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file, const std::string& section,
                                     const TAlarmSettings& lastGood) {
  TAlarmSettingsRead read;
  TAlarmSettings& s = read.Settings;
  for (const NumberKey& key : kNumberKeys) {
    const std::string text = file.ReadString(section, key.Name, "");
    double value = 0;
    if (text.empty()) continue;
    const bool keyed = key.Field == &TAlarmLevels::KeyedAbove;
    if (keyed && text == "auto") continue;  // the default
    if (!ParseNumber(text, value) || value < 0 || (value > 0 && value <= key.Low)) {
      s.Levels.*key.Field = lastGood.Levels.*key.Field;
      read.Warnings.push_back(
          Warning(key.Name, text, key.Means, UsedText(s.Levels.*key.Field, keyed)));
      continue;
    }
    s.Levels.*key.Field = value;
  }
  for (const CountKey& key : kCountKeys) {
    const std::string text = file.ReadString(section, key.Name, "");
    int value = 0;
    if (text.empty()) continue;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > kMaxPersistReadings) {
      s.Levels.*key.Field = lastGood.Levels.*key.Field;
      read.Warnings.push_back(
          Warning(key.Name, text, "a whole number from 0 to " + std::to_string(kMaxPersistReadings),
                  std::to_string(s.Levels.*key.Field)));
      continue;
    }
    s.Levels.*key.Field = value;
  }
  const std::string latch = file.ReadString(section, "Latch", "");
  if (!latch.empty() && !ParseAlarmSourceList(latch, s.Levels.Latch)) {
    s.Levels.Latch = lastGood.Levels.Latch;
    read.Warnings.push_back(Warning("Latch", latch,
                                    "\"all\", \"none\" or alarm names such as \"vswr,link\"",
                                    "\"" + AlarmSourceList(s.Levels.Latch) + "\""));
  }

  const std::string sound = file.ReadString(section, "Sound", "");
  if (sound == "0" || sound == "1") {
    s.Sound = sound == "1";
  } else if (!sound.empty()) {
    s.Sound = lastGood.Sound;
    read.Warnings.push_back(
        Warning("Sound", sound, "0 or 1", s.Sound ? "1 (sound on)" : "0 (sound off)"));
  }

  s.Hook = file.ReadString(section, "Hook", "");
  s.Log = file.ReadString(section, "Log", "");
  if (s.Log.empty())
    s.Log = DefaultAlarmLogPath(file.FileName());
  else if (s.Log[0] != '/')
    s.Log = FolderOf(file.FileName()) + s.Log;
  return read;
}

void WriteAlarmSettings(ProfileFile& file, const TAlarmSettings& loaded,
                        const TAlarmSettings& settings) {
  // Checked before anything is written, so that a refused text leaves no half update.
  for (const auto& [name, text] :
       {std::pair{"alarm hook", &settings.Hook}, std::pair{"alarm log file", &settings.Log}})
    if (text->find_first_of("\r\n") != std::string::npos)
      throw Exception(std::string("The ") + name + " must be one line.");
  file.BeginUpdate();
  for (const NumberKey& key : kNumberKeys) {
    const double value = settings.Levels.*key.Field;
    if (value != loaded.Levels.*key.Field)
      file.WriteString(kSection, key.Name, value < 0 ? "auto" : Written(value));
  }
  for (const CountKey& key : kCountKeys)
    if (settings.Levels.*key.Field != loaded.Levels.*key.Field)
      file.WriteString(kSection, key.Name, std::to_string(settings.Levels.*key.Field));
  if (settings.Levels.Latch != loaded.Levels.Latch)
    file.WriteString(kSection, "Latch", AlarmSourceList(settings.Levels.Latch));
  if (settings.Sound != loaded.Sound)
    file.WriteString(kSection, "Sound", settings.Sound ? "1" : "0");
  if (settings.Hook != loaded.Hook) file.WriteString(kSection, "Hook", Protected(settings.Hook));
  if (settings.Log != loaded.Log) file.WriteString(kSection, "Log", Protected(settings.Log));
  file.EndUpdate();
}

}  // namespace vemo
