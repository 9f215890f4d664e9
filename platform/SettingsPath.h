// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "platform/ProfileFile.h"

namespace vemo {

// Where a program of this system keeps the settings file fileName, first match:
//  1. the file the environment variable envName names (tests, run.sh, several setups);
//  2. fileName beside the executable, if it exists there (a portable installation);
//  3. $XDG_CONFIG_HOME/VemoSWR/fileName, with ~/.config when XDG_CONFIG_HOME is unset or
//     not absolute. The folder may not exist yet: see CreateSettingsFolder.
std::string SettingsFilePath(const std::string& fileName, const char* envName);

// The program's own file: SettingsFilePath("VemoSWR.ini", "VEMOSWR_INI").
std::string SettingsFilePath();

// Where the program keeps its data (the stored history): $XDG_DATA_HOME/VemoSWR, with
// ~/.local/share when XDG_DATA_HOME is unset or not absolute. May not exist yet.
std::string DataFolderPath();

// Site-wide defaults for fileName: VemoSWR/fileName in each folder of $XDG_CONFIG_DIRS, most
// important first (/etc/xdg when it is unset or empty; relative folders are ignored). The
// files need not exist.
std::vector<std::string> SiteSettingsPaths(const std::string& fileName);

// The site files the program reads beneath its settings file at path, and that exist: those
// for VemoSWR.ini, or none when path is the portable file beside the executable, which
// stands alone.
std::vector<std::string> SiteSettingsBeneath(const std::string& path);

// The program's settings file at path over SiteSettingsBeneath(path).
ProfileFile ProgramSettings(const std::string& path);

// Creates the folder of the settings file at path when it is missing, so that the first
// save succeeds. Failures are left for the save to report.
void CreateSettingsFolder(const std::string& path);

}  // namespace vemo
