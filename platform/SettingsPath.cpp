#include "platform/SettingsPath.h"

#include <unistd.h>

#include <QCoreApplication>
#include <climits>
#include <cstdlib>

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

}  // namespace

std::string SettingsFilePath() {
  const char* overridden = std::getenv("VEMOSWR_INI");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  std::string dir = ExecutableDirectory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + "VemoSWR.ini";
}

}  // namespace vemo
