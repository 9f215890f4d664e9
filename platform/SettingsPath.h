#pragma once
#include <string>

namespace vemo {

// Full path of VemoSWR.ini: beside the executable, unless the environment variable
// VEMOSWR_INI names another file (tests and run.sh use it).
std::string SettingsFilePath();

}  // namespace vemo
