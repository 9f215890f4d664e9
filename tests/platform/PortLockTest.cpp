// SPDX-License-Identifier: GPL-3.0-or-later
// UUCP lock files and the /proc look-ups that tell who uses a terminal.

#include "platform/PortLock.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/PortUsers.h"
#include "tests/platform/TempDir.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string LockText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

std::string BinaryLock(pid_t pid) {
  const int32_t id = pid;
  return std::string(reinterpret_cast<const char*>(&id), sizeof id);
}

// A process that lives until the test ends, one that lived and was reaped, and one that
// ended and is not reaped yet.
struct Children {
  Children() {
    live = ::fork();
    if (live == 0) {
      ::pause();
      ::_exit(0);
    }
    dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    zombie = ::fork();
    if (zombie == 0) ::_exit(0);
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT);
  }
  ~Children() {
    ::kill(live, SIGKILL);
    ::waitpid(live, nullptr, 0);
    ::waitpid(zombie, nullptr, 0);
  }
  pid_t live = 0, dead = 0, zombie = 0;
};

TEST(PortLockTest, ALiveHolderRefusesWhileStaleOrForeignLocksAreReplacedByOurs) {
  Children children;
  TempDir dir;
  WriteFile(dir / "ttyUSB0", "");
  fs::create_symlink(dir / "ttyUSB0", dir / "usb-Adapter_A1-if00-port0");
  const std::string lockFile = dir / "LCK..ttyUSB0";
  struct Row {
    const char* what;
    std::string content;
    pid_t refusedBy;
  };
  const Row rows[] = {
      {"live", LockText(children.live), children.live},
      {"live, without padding", std::to_string(children.live) + "\n", children.live},
      {"live, with text after the id", "      " + std::to_string(children.live) + " minicom user\n",
       children.live},
      {"live, binary", BinaryLock(children.live), children.live},
      {"stale", LockText(children.dead), 0},
      {"stale, binary", BinaryLock(children.dead), 0},
      {"held by a zombie", LockText(children.zombie), 0},
      {"garbage", "not a pid\n", 0},
      {"empty", "", 0},
      {"pid 0", LockText(0), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteFile(lockFile, row.content);
    EXPECT_EQ(LockHolder(dir.path(), dir / "ttyUSB0"), row.refusedBy);
    TPortLock lock(dir.path());
    // Through the by-id link: the lock is named after the device itself.
    EXPECT_EQ(lock.Acquire(dir / "usb-Adapter_A1-if00-port0"), row.refusedBy);
    if (row.refusedBy != 0) {
      EXPECT_EQ(ReadFile(lockFile), row.content) << "another program's lock was touched";
      continue;
    }
    EXPECT_EQ(ReadFile(lockFile), LockText(::getpid()));
    TPortLock second(dir.path());
    EXPECT_EQ(second.Acquire(dir / "ttyUSB0"), ::getpid()) << "the port is ours already";
    lock.Release();
    EXPECT_FALSE(fs::exists(lockFile));
  }
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir.path()), {}).size(), 2u)
      << "a temporary file was left behind";
}

TEST(PortLockTest, OurOwnIdLeftByAnEarlierProcessIsStaleAndOursIsRemovedOnDestruction) {
  TempDir dir;
  WriteFile(dir / "LCK..ttyS0", LockText(::getpid()));
  {
    TPortLock lock(dir.path());
    EXPECT_EQ(lock.Acquire("/dev/ttyS0"), 0);
    EXPECT_TRUE(fs::exists(dir / "LCK..ttyS0"));
  }
  EXPECT_FALSE(fs::exists(dir / "LCK..ttyS0"));
}

TEST(PortLockTest, WithoutAWritableLockFolderThePortIsUsedUnlocked) {
  TempDir dir;
  WriteFile(dir / "file", "");
  for (const std::string& folder : {dir / "missing", dir / "file"}) {
    TPortLock lock(folder);
    EXPECT_EQ(lock.Acquire("/dev/ttyS0"), 0) << folder;
  }
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(PortLockTest, OurLockIsLeftAloneWhenAnotherProgramHasTakenItOver) {
  Children children;
  TempDir dir;
  TPortLock lock(dir.path());
  ASSERT_EQ(lock.Acquire("/dev/ttyS1"), 0);
  WriteFile(dir / "LCK..ttyS1", LockText(children.live));
  lock.Release();
  EXPECT_EQ(ReadFile(dir / "LCK..ttyS1"), LockText(children.live));
}

// /proc/<pid>/stat as the kernel writes it; tty_nr in the kernel's device number encoding.
void AddProcess(const TempDir& proc, pid_t pid, const std::string& name, unsigned major,
                unsigned minor) {
  fs::create_directories(proc / (std::to_string(pid) + "/fd"));
  const unsigned ttyNr = (minor & 0xFF) | (major << 8) | ((minor & ~0xFFu) << 12);
  WriteFile(proc / (std::to_string(pid) + "/stat"),
            std::to_string(pid) + " (" + name + ") S 1 " + std::to_string(pid) + " " +
                std::to_string(pid) + " " + std::to_string(ttyNr) + " -1 4194560 0 0\n");
}

TEST(PortUsersTest, ControllingTerminalsAndOpenDevicesAreFoundInProc) {
  TempDir proc;
  fs::create_directories(proc / "self");
  WriteFile(proc / "uptime", "1.0 1.0\n");
  AddProcess(proc, 1, "init", 0, 0);
  AddProcess(proc, 412, "agetty", 4, 64);                 // /dev/ttyS0
  AddProcess(proc, 950, "a (strange) ) name", 188, 300);  // a ttyUSB minor above 255
  AddProcess(proc, 77, "minicom", 136, 3);
  TempDir dev;
  WriteFile(dev / "ttyACM0", "");
  fs::create_symlink(dev / "ttyACM0", proc / "77/fd/3");

  struct Row {
    unsigned major, minor;
    pid_t expected;
  };
  const Row rows[] = {{4, 64, 412}, {188, 300, 950}, {4, 65, 0}, {188, 44, 0}, {0, 0, 0}};
  for (const Row& row : rows)
    EXPECT_EQ(ControllingProcess(::makedev(row.major, row.minor), proc.path()), row.expected)
        << row.major << ":" << row.minor;

  EXPECT_EQ(OpeningProcess(dev / "ttyACM0", proc.path()), 77);
  EXPECT_EQ(OpeningProcess(dev / "missing", proc.path()), 0);
  EXPECT_EQ(ControllingProcess(dev / "ttyACM0", proc.path()), 0) << "not a device node";
}

}  // namespace
}  // namespace vemo
