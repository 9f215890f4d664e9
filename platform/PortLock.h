// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UUCP lock files: the convention by which terminal programs on this system keep off each
// other's serial ports. A file LCK..<device name> in the lock folder holds the process id
// of the program using the port, as ten right-aligned digits and a newline (others may
// add text after the digits, or write the id as four binary bytes: both are honoured).

#include <sys/types.h>

#include <string>

namespace vemo {

// The lock folder: VEMOSWR_LOCK_DIR when set (tests), else /run/lock, else /var/lock.
std::string DefaultLockDirectory();

// The lock file for devicePath: named after the device the path leads to, so that every
// link to one device (a /dev/serial/by-id name, a COM mapping) shares one lock.
std::string LockFilePath(const std::string& lockDir, const std::string& devicePath);

// The live process that holds a lock on devicePath, 0 when there is none or the lock is
// stale (its process has ended, zombies included). Only reads.
pid_t LockHolder(const std::string& lockDir, const std::string& devicePath);

// Our lock on one port, held until Release or destruction.
class TPortLock {
 public:
  explicit TPortLock(std::string lockDir = DefaultLockDirectory()) : dir_(std::move(lockDir)) {}
  ~TPortLock() { Release(); }
  TPortLock(const TPortLock&) = delete;
  TPortLock& operator=(const TPortLock&) = delete;

  // Locks devicePath for this process, removing a stale lock (dead process, or content
  // that names none) first. Returns 0 when the port may be used: locked, or unlockable
  // because the folder is missing or not writable. Otherwise the id of the live process
  // that holds it.
  pid_t Acquire(const std::string& devicePath);
  // Removes our lock file, if we hold one and it is still ours.
  void Release();

 private:
  std::string dir_;
  std::string file_;  // the lock we hold; empty when none
};

}  // namespace vemo
