// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: the parser alone, and the program refusing a bad one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/ProgramOptions.h"

namespace vemo {
namespace {

TEST(ProgramOptions, AcceptsTheOfferedValuesInEitherSpelling) {
  const ProgramOptions none = ParseProgramOptions({});
  EXPECT_FALSE(none.continuous || none.help || none.version);
  EXPECT_FALSE(none.intervalMs || none.logFile || none.alarmLogFile);

  const ProgramOptions all =
      ParseProgramOptions({"--continuous", "--interval", "100", "--log", "/tmp/a b.csv"});
  EXPECT_TRUE(all.continuous);
  EXPECT_EQ(all.intervalMs, 100);
  EXPECT_EQ(all.logFile, "/tmp/a b.csv");
  EXPECT_EQ(ParseProgramOptions({"--interval=10000"}).intervalMs, 10000);
  EXPECT_EQ(ParseProgramOptions({"--log=x.csv"}).logFile, "x.csv");
  EXPECT_EQ(ParseProgramOptions({"--alarm-log", "a.csv"}).alarmLogFile, "a.csv");
  EXPECT_EQ(ParseProgramOptions({"--alarm-log=/var/a b.csv"}).alarmLogFile, "/var/a b.csv");
  EXPECT_NE(ProgramUsage().find("--alarm-log FILE"), std::string::npos);
  EXPECT_TRUE(ParseProgramOptions({"--help"}).help);
  EXPECT_TRUE(ParseProgramOptions({"--version"}).version);
}

TEST(ProgramOptions, RefusesWhatItCannotUseWithAMessageThatSaysWhy) {
  struct Row {
    std::vector<std::string> args;
    const char* said;
  };
  const Row rows[] = {
      {{"--interval", "300"}, "\"300\" is not a polling interval"},
      {{"--interval", "-100"}, "not a polling interval"},
      {{"--interval", "100ms"}, "not a polling interval"},
      {{"--interval", "4294967396"}, "not a polling interval"},  // wraps to 100 in 32 bits
      {{"--interval", "99999999999999999999999"}, "not a polling interval"},
      {{"--interval="}, "one of 100, 200, 500, 1000, 2000, 5000, 10000"},
      {{"--interval"}, "--interval needs a value"},
      {{"--log"}, "--log needs a value"},
      {{"--log="}, "--log needs the name of a CSV file"},
      {{"--alarm-log"}, "--alarm-log needs a value"},
      {{"--alarm-log="}, "--alarm-log needs the name of a CSV file"},
      {{"--continuous=1"}, "--continuous takes no value"},
      {{"--contiuous"}, "Unknown option \"--contiuous\""},
      {{"extra"}, "Unknown option \"extra\""},
  };
  for (const Row& row : rows) {
    try {
      ParseProgramOptions(row.args);
      ADD_FAILURE() << "accepted " << row.args[0];
    } catch (const ProgramUsageError& e) {
      EXPECT_NE(std::string(e.what()).find(row.said), std::string::npos) << e.what();
    }
  }
}

TEST(ProgramOptions, ProgramAnswersOrRefusesItsCommandLineWithoutADisplayAndWritesNothing) {
  QTemporaryDir dir;
  const QString ini = dir.filePath("VemoSWR.ini");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VEMOSWR_INI", ini);
  // As over ssh or from a script: no display to connect to.
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  const QString program =
      QDir(QCoreApplication::applicationDirPath() + "/../bin").absoluteFilePath("VemoSWR");
  struct Row {
    QStringList args;
    int status;
    const char* stream;
  };
  const Row rows[] = {
      {{"--interval", "7"}, 2, "stderr"},
      {{"--bogus"}, 2, "stderr"},
      {{"--alarm-log="}, 2, "stderr"},
      {{"--help"}, 0, "stdout"},
      {{"--version"}, 0, "stdout"},
      // The toolkit's own options are left to it.
      {{"-platform", "offscreen", "--help"}, 0, "stdout"},
      {{"--style=fusion", "-reverse", "--bogus"}, 2, "stderr"},
  };
  for (const Row& row : rows) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, row.args);
    ASSERT_TRUE(p.waitForFinished(10000)) << row.args.join(' ').toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), row.status) << row.args.join(' ').toStdString();
    const QByteArray text =
        row.stream == std::string("stderr") ? p.readAllStandardError() : p.readAllStandardOutput();
    EXPECT_FALSE(text.trimmed().isEmpty()) << row.args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(ini))
        << "no settings written for " << row.args.join(' ').toStdString();
  }
}

}  // namespace
}  // namespace vemo
