// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/AtomicFile.h"

namespace vemo {

namespace {

// The process id a lock file names; 0 when its content names none. The text form is a
// decimal number after optional blanks; what follows it (a newline, or a program and user
// name, as some programs write) does not matter. The old binary form is the id as four
// bytes in the machine's order.
pid_t ParsePid(const std::string& content) {
  if (content.size() == sizeof(int32_t) &&
      content.find_first_not_of(" 0123456789\n") != std::string::npos) {
    int32_t pid = 0;
    std::memcpy(&pid, content.data(), sizeof pid);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
  }
  size_t i = content.find_first_not_of(' ');
  long long pid = 0;
  size_t digits = 0;
  for (; i < content.size() && content[i] >= '0' && content[i] <= '9' && digits < 10; ++i) {
    pid = pid * 10 + (content[i] - '0');
    ++digits;
  }
  const bool ended = i == content.size() || content[i] < '0' || content[i] > '9';
  if (digits == 0 || !ended) return 0;
  return pid > 0 && pid <= 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

// A process that has ended but is not yet reaped (state Z) holds nothing: its parent may
// never reap it (a container without an init).
bool Zombie(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return false;
  // The command name in parentheses may hold anything; the state follows the last ')'.
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() &&
         (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

// EPERM: the process exists but belongs to another user.
bool Alive(pid_t pid) {
  return (::kill(pid, 0) == 0 || errno == EPERM) && !Zombie(pid);
}

// The lock files this process holds. A lock naming our own id that is not among them was
// left by an earlier process that had the same id (a container restarted): stale.
std::mutex heldLock;
std::set<std::string> held;

bool HeldHere(const std::string& file) {
  std::lock_guard lock(heldLock);
  return held.count(file) != 0;
}

// The holder named in a lock file: its pid when alive, 0 when stale, -1 when unreadable.
pid_t LiveHolder(const std::string& file) {
  std::string content;
  try {
    if (!ReadWholeFile(file, content)) return 0;
  } catch (const std::exception&) {
    return -1;
  }
  const pid_t pid = ParsePid(content);
  if (pid == ::getpid()) return HeldHere(file) ? pid : 0;
  return pid != 0 && Alive(pid) ? pid : 0;
}

std::string LockContent(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

}  // namespace

std::string DefaultLockDirectory() {
  const char* overridden = std::getenv("VEMOSWR_LOCK_DIR");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  std::error_code ec;
  return std::filesystem::is_directory("/run/lock", ec) ? "/run/lock" : "/var/lock";
}

std::string LockFilePath(const std::string& lockDir, const std::string& devicePath) {
  std::error_code ec;
  std::filesystem::path device = std::filesystem::canonical(devicePath, ec);
  if (ec) device = devicePath;
  return lockDir + "/LCK.." + device.filename().string();
}

pid_t LockHolder(const std::string& lockDir, const std::string& devicePath) {
  const pid_t pid = LiveHolder(LockFilePath(lockDir, devicePath));
  return pid > 0 ? pid : 0;
}

pid_t TPortLock::Acquire(const std::string& devicePath) {
  Release();
  const std::string file = LockFilePath(dir_, devicePath);
  const std::string content = LockContent(::getpid());
  // Written whole under a private name and linked into place: a lock file never shows
  // up empty, which another program would take for a stale one and remove.
  const std::string temp = dir_ + "/LTMP." + std::to_string(::getpid());
  for (int attempt = 0; attempt < 3; ++attempt) {
    const pid_t holder = LiveHolder(file);
    if (holder > 0) return holder;
    if (holder < 0) return 0;  // a lock we may not even read: nothing we can do about it
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return 0;  // no writable lock folder: the port is used without a lock
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    if (written && ::link(temp.c_str(), file.c_str()) == 0) {
      ::unlink(temp.c_str());
      file_ = file;
      std::lock_guard lock(heldLock);
      held.insert(file_);
      return 0;
    }
    const int error = errno;
    ::unlink(temp.c_str());
    if (!written || error != EEXIST) return 0;
    // A lock is there; remove it when stale and try again.
    if (LiveHolder(file) == 0) ::unlink(file.c_str());
  }
  return 0;
}

void TPortLock::Release() {
  if (file_.empty()) return;
  std::string content;
  try {
    // Another program may have removed our lock and taken the port meanwhile.
    if (ReadWholeFile(file_, content) && ParsePid(content) == ::getpid()) ::unlink(file_.c_str());
  } catch (const std::exception&) {
    // Unreadable now: leave it; a later opener finds it stale once we are gone.
  }
  {
    std::lock_guard lock(heldLock);
    held.erase(file_);
  }
  file_.clear();
}

}  // namespace vemo
