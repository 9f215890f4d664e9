// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortUsers.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace vemo {

namespace {

// The process id a /proc entry is named after; 0 for the other entries.
pid_t PidOf(const fs::path& entry) {
  const std::string name = entry.filename().string();
  if (name.empty() || name.size() > 10 || name.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
}

// tty_nr from /proc/<pid>/stat, -1 when unreadable. The command name in parentheses may
// hold blanks and parentheses itself, so the fields count from the last ')'.
long long ControllingTty(const fs::path& statFile) {
  std::ifstream in(statFile);
  std::string line;
  if (!std::getline(in, line)) return -1;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 1));
  std::string state;
  long long ppid = 0, pgrp = 0, session = 0, ttyNr = 0;
  if (!(fields >> state >> ppid >> pgrp >> session >> ttyNr)) return -1;
  return ttyNr;
}

// The kernel's encoding of a device number in /proc: minor in bits 0-7 and 20-31,
// major in bits 8-19.
bool SameDevice(long long ttyNr, dev_t rdev) {
  if (ttyNr <= 0) return false;
  const auto nr = static_cast<unsigned long long>(ttyNr);
  const unsigned long long major = (nr >> 8) & 0xFFF;
  const unsigned long long minor = (nr & 0xFF) | ((nr >> 12) & 0xFFF00);
  return major == ::major(rdev) && minor == ::minor(rdev);
}

}  // namespace

namespace {

std::string Root(const char* envName, const char* standard) {
  const char* overridden = std::getenv(envName);
  return overridden != nullptr && *overridden != '\0' ? overridden : standard;
}

}  // namespace

std::string DefaultProcRoot() {
  return Root("VEMOSWR_PROC_ROOT", "/proc");
}

std::string DefaultSysRoot() {
  return Root("VEMOSWR_SYS_ROOT", "/sys");
}

std::string DefaultDevRoot() {
  return Root("VEMOSWR_DEV_ROOT", "/dev");
}

std::set<std::string> ConsoleDevices(const std::string& procRoot, const std::string& sysClassTty) {
  std::set<std::string> names;
  std::ifstream cmdline(procRoot + "/cmdline");
  for (std::string word; cmdline >> word;) {
    if (word.rfind("console=", 0) != 0) continue;
    const std::string device = word.substr(8, word.find(',') - 8);  // "ttyAMA0,115200"
    if (!device.empty()) names.insert(device);
  }
  std::ifstream active(sysClassTty + "/console/active");
  for (std::string name; active >> name;) names.insert(name);
  return names;
}

pid_t ControllingProcess(dev_t rdev, const std::string& procRoot) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(procRoot, ec)) {
    const pid_t pid = PidOf(entry.path());
    if (pid > 0 && SameDevice(ControllingTty(entry.path() / "stat"), rdev)) return pid;
  }
  return 0;
}

pid_t ControllingProcess(const std::string& devicePath, const std::string& procRoot) {
  struct stat st;
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  return ControllingProcess(st.st_rdev, procRoot);
}

pid_t OpeningProcess(const std::string& devicePath, const std::string& procRoot) {
  std::error_code ec;
  const fs::path device = fs::canonical(devicePath, ec);
  if (ec) return 0;
  for (const auto& entry : fs::directory_iterator(procRoot, ec)) {
    const pid_t pid = PidOf(entry.path());
    if (pid <= 0) continue;
    std::error_code fdError;  // another user's process: its descriptors are hidden from us
    for (const auto& fd : fs::directory_iterator(entry.path() / "fd", fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError) == device) return pid;
    }
  }
  return 0;
}

}  // namespace vemo
