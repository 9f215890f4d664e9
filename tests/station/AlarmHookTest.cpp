// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm hook run for real: its arguments and environment, the time limit with its
// process group, the sources kept apart, and failures told once.
#include "station/AlarmHook.h"
#include "station/IsoTime.h"

#include "tests/platform/TempDir.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::HasSubstr;

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done() && elapsed.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return done();
}

struct Notices {
  std::vector<std::string> failing, resumed;
  AlarmHook::Notify Notify() {
    return [this](bool fails, const std::string& m) { (fails ? failing : resumed).push_back(m); };
  }
};

TAlarmEvent Event(AlarmChange change, double value = 2.5) {
  return {1, AlarmSource::VSWRAbove, change, value, 2, 1709294400345, false};
}

TEST(AlarmHook, SplitsLikeADesktopEntryAndExpandsNothing) {
  struct Row {
    const char* line;
    std::vector<std::string> args;  // empty: refused
  };
  const Row rows[] = {
      {"/bin/beep  -n 3", {"/bin/beep", "-n", "3"}},
      {R"("/opt/my tools/beep" "a \"b\" \\c" $HOME %f)",
       {"/opt/my tools/beep", R"(a "b" \c)", "$HOME", "%f"}},
      {R"(say "" x\ y)", {"say", "", "x y"}},
      {R"(say "open)", {}},
      {"say \\", {}},
      {"  ", {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args;
    std::string error;
    EXPECT_EQ(SplitCommandLine(row.line, args, error), !row.args.empty()) << row.line;
    if (!row.args.empty()) {
      EXPECT_EQ(args, row.args) << row.line;
    }
  }
}

TEST(AlarmHook, GetsTheDetailsInItsEnvironmentOnTripAndClearOnly) {
  TempDir dir;
  const std::string script = dir / "my hook.sh";
  WriteFile(script,
            "#!/bin/sh\n"
            "printf '%s|' \"$1\" \"$2\" \"$VEMOSWR_ALARM_SOURCE\" \"$VEMOSWR_ALARM_STATE\" "
            "\"$VEMOSWR_ALARM_VALUE\" \"$VEMOSWR_ALARM_TIME\" \"$VEMOSWR_ALARM_PORT\" >> \"$1\"\n"
            "echo >> \"$1\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const std::string out = dir / "out";
  Notices notices;
  AlarmHook hook('"' + script + "\" " + out + " $PATH", "/dev/ttyUSB0", notices.Notify());
  hook.Run(Event(AlarmChange::Tripped));
  hook.Run(Event(AlarmChange::Acknowledged));
  hook.Run(Event(AlarmChange::Cleared, 1.5));  // waits for the first
  ASSERT_TRUE(RunEventsUntil([&] { return !hook.Busy(); }));
  const std::string time = IsoTime(1709294400345);
  EXPECT_EQ(ReadFile(out), out + "|$PATH|vswr|tripped|2.50|" + time + "|/dev/ttyUSB0|\n" + out +
                               "|$PATH|vswr|cleared|1.50|" + time + "|/dev/ttyUSB0|\n");
  EXPECT_TRUE(notices.failing.empty());
}

TEST(AlarmHook, StartsWithNoSignalBlockedWhateverTheProgramBlocks) {
  // The program blocks its stop signals to read them through a descriptor.
  sigset_t stop, before;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, &before);
  TempDir dir;
  const std::string out = dir / "status";
  Notices notices;
  {
    AlarmHook hook("cp /proc/self/status " + out, "", notices.Notify());
    hook.Run(Event(AlarmChange::Tripped));
    EXPECT_TRUE(RunEventsUntil([&] { return !hook.Busy(); }));
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  EXPECT_THAT(ReadFile(out), HasSubstr("SigBlk:\t0000000000000000\n"));
  EXPECT_TRUE(notices.failing.empty());
}

TEST(AlarmHook, EachKindOfFailureIsToldOnce) {
  TempDir dir;
  struct Row {
    std::string line;
    const char* says;
  };
  const Row rows[] = {
      {dir / "no such hook", "could not be started"},
      {"/bin/sh -c \"exit 4\"", "ended with exit status 4"},
      {"/bin/sleep 5", "did not finish within 0.2 seconds and was stopped"},
      {"/bin/sh -c \"kill -SEGV $$\"", "crashed"},
      {"\"open", "cannot be run: a quote in the command line is not closed"},
  };
  for (const Row& row : rows) {
    Notices notices;
    QElapsedTimer elapsed;
    elapsed.start();
    AlarmHook hook(row.line, "", notices.Notify(), 200);
    hook.Run(Event(AlarmChange::Tripped));
    hook.Run(Event(AlarmChange::Cleared));
    ASSERT_TRUE(RunEventsUntil([&] { return !hook.Busy(); })) << row.line;
    EXPECT_LT(elapsed.elapsed(), 3000) << row.line;
    ASSERT_EQ(notices.failing.size(), 1u) << row.line;
    EXPECT_THAT(notices.failing[0], HasSubstr(row.says));
  }
}

// A process that is gone, or dead and waiting to be reaped.
bool Gone(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t paren = stat.rfind(')');
  return stat.empty() || (paren != std::string::npos && stat.substr(paren + 2, 1) == "Z");
}

TEST(AlarmHook, AHungHookGoesWithItsGroupAndHoldsUpNoOtherSource) {
  TempDir dir;
  const std::string out = dir / "out", pidFile = dir / "child";
  const std::string script = dir / "hook.sh";
  // A VSWR trip hangs, with a child that ignores SIGTERM; everything else just reports.
  WriteFile(script,
            "#!/bin/sh\n"
            "if [ \"$VEMOSWR_ALARM_SOURCE $VEMOSWR_ALARM_STATE\" = 'vswr tripped' ]; then\n"
            "  sh -c 'trap \"\" TERM; echo $$ > \"$0\"; while :; do sleep 1; done' " +
                pidFile +
                " &\n  sleep 30\nfi\n"
                "echo \"$VEMOSWR_ALARM_SOURCE $VEMOSWR_ALARM_STATE\" >> " +
                out + "\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  Notices notices;
  AlarmHook hook(script, "", notices.Notify(), 1000);
  TAlarmEvent link = Event(AlarmChange::Tripped);
  link.Source = AlarmSource::LinkLost;
  hook.Run(Event(AlarmChange::Tripped));
  hook.Run(link);
  ASSERT_TRUE(RunEventsUntil([&] { return ReadFile(out) == "link tripped\n"; }));
  EXPECT_TRUE(notices.failing.empty()) << "the link's hook waited for the hung one";
  // Behind the hung hook, the VSWR's events come down to the latest.
  hook.Run(Event(AlarmChange::Cleared));
  hook.Run(Event(AlarmChange::Tripped));
  hook.Run(Event(AlarmChange::Cleared));
  ASSERT_TRUE(RunEventsUntil([&] { return !hook.Busy(); }));
  EXPECT_EQ(ReadFile(out), "link tripped\nvswr cleared\n");
  ASSERT_EQ(notices.failing.size(), 1u);
  EXPECT_THAT(notices.failing[0], HasSubstr("did not finish within 1 seconds"));
  const pid_t child = std::stoi(ReadFile(pidFile));
  EXPECT_TRUE(RunEventsUntil([&] { return Gone(child); }, 3 * AlarmHook::kKillAfterTermMs));
}

}  // namespace
}  // namespace vemo
