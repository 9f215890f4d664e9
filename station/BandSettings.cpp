// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/BandSettings.h"

#include "platform/ProfileFile.h"
#include "station/AlarmSettings.h"

#include <charconv>
#include <cmath>

namespace vemo {
namespace {

constexpr char kAlarmsPrefix[] = "Alarms ";
constexpr char kCorrections[] = "Corrections";

constexpr std::pair<const char*, double TAlarmLevels::*> kBandLevelKeys[] = {
    {"VSWRAbove", &TAlarmLevels::VSWRAbove},
    {"ReflectedAbove", &TAlarmLevels::ReflectedAbove},
    {"ForwardBelow", &TAlarmLevels::ForwardBelow},
    {"KeyedAbove", &TAlarmLevels::KeyedAbove},
};

// More than this either way is a typing error, not a coupler or a cable.
constexpr double kLargestCorrectionDb = 30;

bool ParseNumber(std::string_view text, double& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last && std::isfinite(value);
}

bool ParseDb(std::string_view text, double& value) {
  return ParseNumber(text, value) && std::fabs(value) <= kLargestCorrectionDb;
}

}  // namespace

TBandSettings ReadBandSettings(const ProfileFile& file, const TAlarmLevels& global,
                               std::vector<std::string>& warnings) {
  TBandSettings settings;
  for (const std::string& section : file.Sections()) {
    if (section.rfind(kAlarmsPrefix, 0) != 0) continue;
    const std::string band = section.substr(sizeof kAlarmsPrefix - 1);
    TAlarmSettingsRead read = ReadAlarmSettings(file, section);
    warnings.insert(warnings.end(), read.Warnings.begin(), read.Warnings.end());
    TAlarmLevels levels = global;
    for (const auto& [key, field] : kBandLevelKeys) {
      // A bad value reads as 0 (off) with a warning; it must not switch the band's level
      // off, so only a value that really is 0 may.
      double written = -1;
      const std::string text = file.ReadString(section, key, "");
      const bool off = ParseNumber(text, written) && written == 0;
      if (!text.empty() && (read.Settings.Levels.*field != 0 || off))
        levels.*field = read.Settings.Levels.*field;
    }
    settings.Levels[band] = levels;
  }
  for (const auto& [band, value] : file.ReadSectionValues(kCorrections)) {
    const size_t comma = value.find(',');
    TBandCorrection c;
    if (comma == std::string::npos ||
        !ParseDb(std::string_view(value).substr(0, comma), c.ForwardDb) ||
        !ParseDb(std::string_view(value).substr(comma + 1), c.ReflectedDb)) {
      warnings.push_back("[Corrections] " + band + "=\"" + value +
                         "\" is not two offsets in dB such as -0.4,1.5 (each within ±30 dB); "
                         "no correction is applied on that band");
      continue;
    }
    settings.Corrections[band] = c;
  }
  return settings;
}

const TAlarmLevels& LevelsForBand(const TBandSettings& settings, const TAlarmLevels& global,
                                  const std::string& band) {
  const auto it = settings.Levels.find(band);
  return it == settings.Levels.end() ? global : it->second;
}

TCorrectedReading CorrectForBand(const TBandSettings& settings, const std::string& band,
                                 const TMonitorReading& reading) {
  TCorrectedReading out{reading, reading.Forward, reading.Reflected, false};
  const auto it = settings.Corrections.find(band);
  if (it == settings.Corrections.end()) return out;
  const TBandCorrection& c = it->second;
  out.Reading.Forward = static_cast<float>(reading.Forward * std::pow(10.0, c.ForwardDb / 10));
  out.Reading.Reflected =
      static_cast<float>(reading.Reflected * std::pow(10.0, c.ReflectedDb / 10));
  out.Corrected = c.ForwardDb != 0 || c.ReflectedDb != 0;
  return out;
}

}  // namespace vemo
