// SPDX-License-Identifier: GPL-3.0-or-later
// The link against the simulated monitor over the real serial layer: a device opened by
// its path without any settings file, and every kind of failure a caller switches on.
#include "monitor/MonitorLink.h"

#include "ScriptedPort.h"
#include "serial/SerialErrors.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

namespace vemo::test {
namespace {

const LinkTiming kQuick{std::chrono::milliseconds(20)};

TEST(MonitorLink, OpensADevicePathWithoutAnySettingsFile) {
  SimProcess sim;
  const std::string device = sim.Start({"--noise", "0", "--model", "KRFMON04"});
  // Port 1's map would lead elsewhere: the path alone decides.
  QTemporaryDir dir;
  qputenv("VEMOSWR_INI", dir.filePath("absent.ini").toUtf8());
  MonitorLink link(kQuick);
  link.SetDevice(1, device);
  EXPECT_TRUE(link.Connect());
  EXPECT_EQ(link.Monitor().ModelId(), "KRFMON04");
  EXPECT_EQ(link.Port().Dispatcher()->DeviceName(), device);
  link.Read();
  EXPECT_EQ(sim.ReceivedCommands(), (std::vector<std::string>{"I", "7", "T"}));
  qunsetenv("VEMOSWR_INI");
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("absent.ini")));
}

TEST(MonitorLink, FailuresAreSortedByKind) {
  QTemporaryDir locks;
  qputenv("VEMOSWR_LOCK_DIR", locks.path().toUtf8());
  struct Row {
    const char* name;
    std::vector<std::string> simArgs;
    std::function<void(SimProcess&, MonitorLink&)> act;
    LinkFailure expected;
  };
  const Row rows[] = {
      {"silent monitor",
       {"--stop-after", "1"},
       [](SimProcess&, MonitorLink& l) { l.Read(); },
       LinkFailure::Timeout},
      {"unplugged",
       {},
       [](SimProcess& s, MonitorLink& l) { s.HangUp(), l.Read(); },
       LinkFailure::DeviceLost},
      {"held by another link",
       {},
       [](SimProcess& s, MonitorLink&) {
         MonitorLink other(kQuick);
         other.SetDevice(0, s.DevicePath());
         other.Open();
       },
       LinkFailure::PortBusy},
  };
  for (const Row& r : rows) {
    SimProcess sim;
    std::vector<std::string> args{"--noise", "0"};
    args.insert(args.end(), r.simArgs.begin(), r.simArgs.end());
    const std::string device = sim.Start(args);
    FastClock fast(20);
    MonitorLink link({std::chrono::milliseconds(20), &fast});
    link.SetDevice(0, device);
    ASSERT_TRUE(link.Connect()) << r.name;
    try {
      r.act(sim, link);
      ADD_FAILURE() << r.name << ": no failure";
    } catch (const std::exception& e) {
      EXPECT_EQ(LinkFailureName(link.Classify(e)), std::string(LinkFailureName(r.expected)))
          << r.name << ": " << e.what();
    }
  }
  qunsetenv("VEMOSWR_LOCK_DIR");
}

TEST(MonitorLink, KindsFollowTheExceptionTypeNotItsText) {
  struct Row {
    std::exception_ptr failure;
    bool deviceLost;
    LinkFailure expected;
  };
  const Row rows[] = {
      {std::make_exception_ptr(Exception("Timeout")), false, LinkFailure::Protocol},
      {std::make_exception_ptr(EReplyTimeout("Error writing to EEPROM (no reply)")), false,
       LinkFailure::Timeout},
      {std::make_exception_ptr(EReplyTimeout("Timeout")), true, LinkFailure::DeviceLost},
      {std::make_exception_ptr(EPermissionDenied("denied", ecPermissionDenied)), false,
       LinkFailure::Permission},
      {std::make_exception_ptr(EBadId("no such device", ecBadId)), false, LinkFailure::NoDevice},
  };
  for (const Row& r : rows) {
    try {
      std::rethrow_exception(r.failure);
    } catch (const std::exception& e) {
      EXPECT_EQ(LinkFailureName(ClassifyFailure(e, r.deviceLost)),
                std::string(LinkFailureName(r.expected)))
          << e.what();
    }
  }
}

}  // namespace
}  // namespace vemo::test
