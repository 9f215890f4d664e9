// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsPath.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <climits>
#include <cstdlib>
#include <filesystem>

namespace vemo {

namespace {

std::string ExecutableDirectory() {
  if (QCoreApplication::instance() != nullptr)
    return QCoreApplication::applicationDirPath().toStdString();
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string exe(buffer, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : exe.substr(0, slash));
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  const passwd* user = ::getpwuid(::getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

std::string ConfigHome() {
  // Relative values are invalid and must be ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg == '/') return xdg;
  return (std::filesystem::path(HomeDirectory()) / ".config").string();
}

}  // namespace

std::string SettingsFilePath(const std::string& fileName, const char* envName) {
  const char* overridden = std::getenv(envName);
  if (overridden != nullptr && *overridden != '\0') return overridden;
  std::string dir = ExecutableDirectory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  std::error_code ec;
  if (std::filesystem::exists(dir + fileName, ec)) return dir + fileName;
  return (std::filesystem::path(ConfigHome()) / "VemoSWR" / fileName).string();
}

std::vector<std::string> SiteSettingsPaths(const std::string& fileName) {
  const char* xdg = std::getenv("XDG_CONFIG_DIRS");
  const std::string dirs = xdg != nullptr && *xdg != '\0' ? xdg : "/etc/xdg";
  std::vector<std::string> paths;
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(':', begin);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(begin, end - begin);
    if (!dir.empty() && dir[0] == '/')
      paths.push_back((std::filesystem::path(dir) / "VemoSWR" / fileName).string());
    begin = end + 1;
  }
  return paths;
}

std::vector<std::string> SiteSettingsBeneath(const std::string& path) {
  std::string dir = ExecutableDirectory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  std::vector<std::string> existing;
  if (path == dir + "VemoSWR.ini") return existing;
  std::error_code ec;
  for (const std::string& site : SiteSettingsPaths("VemoSWR.ini"))
    if (std::filesystem::exists(site, ec)) existing.push_back(site);
  return existing;
}

ProfileFile ProgramSettings(const std::string& path) {
  ProfileFile file(path);
  file.SetDefaults(SiteSettingsBeneath(path));
  return file;
}

std::string SettingsFilePath() {
  return SettingsFilePath("VemoSWR.ini", "VEMOSWR_INI");
}

std::string DataFolderPath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::filesystem::path home =
      xdg != nullptr && *xdg == '/' ? std::filesystem::path(xdg)
                                    : std::filesystem::path(HomeDirectory()) / ".local" / "share";
  return (home / "VemoSWR").string();
}

void CreateSettingsFolder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
}

}  // namespace vemo
