// SPDX-License-Identifier: GPL-3.0-or-later
// The program ended by a signal, as a session that ends or a terminal that closes ends it:
// it must go by its ordinary exit, with the settings saved and the port let go.
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>

namespace vemo::test {
namespace {

QString ProgramExecutable() {
  return QDir(QCoreApplication::applicationDirPath() + "/../bin").absoluteFilePath("VemoSWR");
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ProgramSignals, StopSignalsEndTheProgramAsExitDoesWhilePollingOrIdle) {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    SimProcess sim;
    const std::string device = sim.Start({"--noise", "0"});
    QTemporaryDir dir;
    const QString ini = dir.filePath("VemoSWR.ini");
    const QByteArray mine = "; kept as it was\n[Elsewhere]\nKey=1\n";
    {
      QFile file(ini);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(mine + "[Ports]\nCOM1=" + QByteArray::fromStdString(device) +
                 "\n[Communication]\nComPort=1\n");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEMOSWR_INI", ini);
    env.insert("XDG_DATA_HOME", dir.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    // Polling at the shortest interval, so that the signal is likely to meet an exchange.
    const QStringList args =
        signal == SIGTERM ? QStringList{"--continuous", "--interval", "100"} : QStringList{};
    program.start(ProgramExecutable(), args);
    ASSERT_TRUE(program.waitForStarted(5000));
    if (signal == SIGTERM) {
      ASSERT_TRUE(sim.WaitForTranscript(
          [](const auto& t) {
            return std::count_if(t.begin(), t.end(), [](const auto& e) { return e.text == "T"; }) >=
                   3;
          },
          std::chrono::seconds(10)))
          << "the program never polled";
    } else {
      // Identified: the window is up and the port open.
      ASSERT_TRUE(sim.WaitForTranscript(
          [](const auto& t) {
            return std::any_of(t.begin(), t.end(), [](const auto& e) { return e.text == "I"; });
          },
          std::chrono::seconds(10)));
    }
    ::kill(static_cast<pid_t>(program.processId()), signal);
    ASSERT_TRUE(program.waitForFinished(5000)) << "still running after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QByteArray saved = ReadAll(ini);
    EXPECT_TRUE(saved.startsWith(mine)) << saved.toStdString();
    EXPECT_TRUE(saved.contains("[Window]")) << "the settings were not saved";
    EXPECT_TRUE(sim.WaitForTranscript([](const auto& t) {
      return std::any_of(t.begin(), t.end(),
                         [](const auto& e) { return e.text == "client closed"; });
    })) << "the port was not closed";
  }
}

TEST(ProgramSignals, AStopBySignalWaitsForNobodyWhenTheSettingsCannotBeSaved) {
  SimProcess sim;
  const std::string device = sim.Start({"--noise", "0"});
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir("settings"));
  const QString ini = dir.filePath("settings/VemoSWR.ini");
  {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Ports]\nCOM1=" + QByteArray::fromStdString(device) + "\n");
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VEMOSWR_INI", ini);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess program;
  program.setProcessEnvironment(env);
  program.start(ProgramExecutable(), QStringList{});
  ASSERT_TRUE(program.waitForStarted(5000));
  ASSERT_TRUE(sim.WaitForTranscript(
      [](const auto& t) {
        return std::any_of(t.begin(), t.end(), [](const auto& e) { return e.text == "I"; });
      },
      std::chrono::seconds(10)));
  // Where the settings folder was, a file now stands: no save can succeed, even as root.
  ASSERT_TRUE(QDir(dir.filePath("settings")).removeRecursively());
  {
    QFile blocker(dir.filePath("settings"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(5000)) << "waiting for someone to answer a message box";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_TRUE(program.readAllStandardError().contains("Unable to write to " + ini.toUtf8()));
}

}  // namespace
}  // namespace vemo::test
