#include "station/AlarmSettings.h"

#include "platform/Exception.h"
#include "platform/ProfileFile.h"

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
    {"KeyedAbove", &TAlarmLevels::KeyedAbove, 0, "0 or more watts"},
    {"LinkLostAfter", &TAlarmLevels::LinkLostAfter, 0, "0 or more seconds"},
    {"Delay", &TAlarmLevels::Delay, 0, "0 or more seconds"},
    {"ForwardDropDb", &TAlarmLevels::ForwardDropDb, 0, "0 or more dB"},
    {"ReflectedRiseFactor", &TAlarmLevels::ReflectedRiseFactor, 1, "0 or a factor above 1"},
    {"VSWRRiseFactor", &TAlarmLevels::VSWRRiseFactor, 1, "0 or a factor above 1"},
};

std::string Warning(const char* key, const std::string& text, const std::string& means,
                    const std::string& used) {
  return std::string("Alarm setting ") + key + "=\"" + text + "\" in the settings file is not " +
         means + "; " + used + " is used until it is set again in Alarm Settings.";
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

TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file, const std::string& section) {
  TAlarmSettingsRead read;
  TAlarmSettings& s = read.Settings;
  for (const NumberKey& key : kNumberKeys) {
    const std::string text = file.ReadString(section, key.Name, "");
    double value = 0;
    if (text.empty()) continue;
    if (!ParseNumber(text, value) || value < 0 || (value > 0 && value <= key.Low)) {
      read.Warnings.push_back(Warning(key.Name, text, key.Means, "0 (off)"));
      continue;
    }
    s.Levels.*key.Field = value;
  }

  const std::string sound = file.ReadString(section, "Sound", "");
  if (sound == "0" || sound == "1")
    s.Sound = sound == "1";
  else if (!sound.empty())
    read.Warnings.push_back(Warning("Sound", sound, "0 or 1", "1 (sound on)"));

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
    if (value != loaded.Levels.*key.Field) file.WriteString(kSection, key.Name, Written(value));
  }
  if (settings.Sound != loaded.Sound)
    file.WriteString(kSection, "Sound", settings.Sound ? "1" : "0");
  if (settings.Hook != loaded.Hook) file.WriteString(kSection, "Hook", Protected(settings.Hook));
  if (settings.Log != loaded.Log) file.WriteString(kSection, "Log", Protected(settings.Log));
  file.EndUpdate();
}

}  // namespace vemo
