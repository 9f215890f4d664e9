// SPDX-License-Identifier: GPL-3.0-or-later
// Ports that another program holds, by a UUCP lock or as its terminal, are refused by
// name of the holding process; ours is locked while open.

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "ComPortFixture.h"
#include "platform/PortLock.h"
#include "serial/SerialErrors.h"
#include "tests/platform/TempDir.h"

namespace vemo {
namespace {

using namespace test;

// The exception an opening raises; "" when it opened.
std::string OpeningFailure(TCustomComPort& port) {
  try {
    port.SetOpen(true);
  } catch (const EAlreadyOpen& e) {
    return e.what();
  }
  return {};
}

class PortClaimTest : public ComPortTest {
 protected:
  void SetUp() override {
    ComPortTest::SetUp();
    if (const char* old = std::getenv("VEMOSWR_LOCK_DIR")) previousLockDir = old;
    ::setenv("VEMOSWR_LOCK_DIR", lockDir.path().c_str(), 1);
  }
  void TearDown() override {
    if (previousLockDir.empty())
      ::unsetenv("VEMOSWR_LOCK_DIR");
    else
      ::setenv("VEMOSWR_LOCK_DIR", previousLockDir.c_str(), 1);
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    ComPortTest::TearDown();
  }
  // Starts a child that sets itself up (async-signal-safe calls only: we have threads),
  // reports on a pipe and waits to be killed.
  template <class Setup>
  void StartChild(Setup setup) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    child = ::fork();
    if (child == 0) {
      const char ok = setup() ? '1' : '0';
      (void)!::write(ready[1], &ok, 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(ok, '1');
  }
  std::string Lock() const { return LockFilePath(lockDir.path(), peer.SlavePath()); }
  std::string Held() const {
    return "ie_Open - device already open (held by process " + std::to_string(child) + ")";
  }

  TempDir lockDir;
  std::string previousLockDir;
  pid_t child = 0;
};

TEST_F(PortClaimTest, ALockOfALiveProcessRefusesThePortAndOursLastsWhileItIsOpen) {
  StartChild([] { return true; });
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(child));
  WriteFile(Lock(), text);
  EXPECT_EQ(OpeningFailure(port), Held());
  EXPECT_EQ(ReadFile(Lock()), text);

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  child = 0;
  ASSERT_EQ(OpeningFailure(port), "") << "a stale lock must not keep the port";
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
  EXPECT_EQ(ReadFile(Lock()), text);
  port.SetOpen(false);
  EXPECT_TRUE(ProcessUntil([&] { return port.PortState() == TPortState::Closed; }));
  EXPECT_FALSE(std::filesystem::exists(Lock()));
}

TEST_F(PortClaimTest, APortThatIsASessionsControllingTerminalIsNeverOpened) {
  const std::string slave = peer.SlavePath();
  StartChild([&slave] {
    if (::setsid() < 0) return false;
    const int fd = ::open(slave.c_str(), O_RDWR);
    return fd >= 0 && ::ioctl(fd, TIOCSCTTY, 0) == 0;
  });
  EXPECT_EQ(OpeningFailure(port), Held());
  EXPECT_FALSE(std::filesystem::exists(Lock()));
}

}  // namespace
}  // namespace vemo
