// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswr-cli run as a user runs it, against the simulated monitor on a pty.
#include "monitor/VSWRMon.h"
#include "store/HistoryStore.h"
#include "tests/support/ReadingReplies.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <grp.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace vemo::test {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

QString CliExecutable() {
  const QByteArray binDir = qgetenv("VEMO_BIN_DIR");
  if (!binDir.isEmpty()) return QString::fromLocal8Bit(binDir) + "/vemoswr-cli";
  return QDir(QCoreApplication::applicationDirPath() + "/../bin").absoluteFilePath("vemoswr-cli");
}

using Environment = std::vector<std::pair<QString, QString>>;

void StartCli(QProcess& process, const std::vector<std::string>& args, const QString& ini,
              const Environment& extra = {}, const QString& executable = CliExecutable()) {
  QStringList arguments;
  for (const std::string& a : args) arguments << QString::fromStdString(a);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VEMOSWR_INI", ini);
  for (const auto& [name, value] : extra) env.insert(name, value);
  process.setProcessEnvironment(env);
  process.start(executable, arguments);
  ASSERT_TRUE(process.waitForStarted(5000)) << process.errorString().toStdString();
}

Result Finish(QProcess& process, int timeoutMs = 30000) {
  Result r;
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
    r.status = -2;  // hung
  } else {
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }
  r.out = process.readAllStandardOutput().toStdString();
  r.err = process.readAllStandardError().toStdString();
  return r;
}

// Reads the output of a running process until it holds `count` lines (or ten seconds pass).
QByteArray WaitForLines(QProcess& process, int count) {
  QElapsedTimer elapsed;
  elapsed.start();
  QByteArray out;
  while (out.count('\n') < count && elapsed.elapsed() < 10000) {
    process.waitForReadyRead(200);
    out += process.readAllStandardOutput();
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

class CliTest : public ::testing::Test {
 protected:
  void StartSim(std::vector<std::string> args) {
    args.insert(args.begin(), {"--noise", "0"});
    device = sim.Start(args);
  }
  // vemoswr-cli --device <sim> args...
  Result Cli(std::vector<std::string> args, const std::string& input = "",
             const Environment& env = {}) {
    args.insert(args.begin(), {"--device", device});
    return Plain(args, input, env);
  }
  // vemoswr-cli args... (no device added)
  Result Plain(const std::vector<std::string>& args, const std::string& input = "",
               const Environment& env = {}) {
    QProcess process;
    StartCli(process, args, Ini(), env);
    if (!input.empty()) process.write(input.c_str());
    process.closeWriteChannel();
    return Finish(process);
  }
  QString Ini() const { return dir.filePath("VemoSWR.ini"); }

  QTemporaryDir dir;
  SimProcess sim;
  std::string device;
};

TEST_F(CliTest, IdentifyNamesModelFirmwareAndWhetherItIsKnown) {
  StartSim({"--model", "KRFMON04", "--firmware", "2010-01-08"});
  Result r = Cli({"identify"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "model=KRFMON04 firmware=2010-01-08 known=yes\n");
  sim.Stop();

  StartSim({"--model", "ACME0001", "--firmware", "1999-12-31"});
  r = Cli({"identify"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "model=ACME0001 firmware=1999-12-31 known=no\n");
}

TEST_F(CliTest, ReadPrintsDerivedQuantitiesAsCsvOrText) {
  StartSim({"--full-scale", "625", "--forward", "100", "--reflected", "1"});
  Result r = Cli({"read", "-n", "3", "-i", "0.1", "--csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[0],
            "time,forward_w,reflected_w,vswr,return_loss_db,rho,transmitted_pct,dbm,alarm,"
            "implausible");
  const QRegularExpression csv(
      R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,100,1,1\.22,-20\.00,0\.10,99\.00,50\.0,0,0$)");
  for (size_t i = 1; i < lines.size(); ++i)
    EXPECT_TRUE(csv.match(QString::fromStdString(lines[i])).hasMatch()) << lines[i];

  r = Cli({"read", "-n", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr(" forward=100.0 W reflected=1.00 W vswr=1.22 return_loss=-20.00 dB "
                               "rho=0.10 transmitted=99.00 % dbm=50.0 alarm=no\n"));
  sim.Stop();

  // Kilowatt full scale: the text read-out changes unit, the CSV stays in watts.
  StartSim({"--full-scale", "5000", "--forward", "1500", "--reflected", "20"});
  r = Cli({"read", "-n", "1"});
  EXPECT_THAT(r.out, HasSubstr(" forward=1.500 KW reflected=0.0200 KW "));
  r = Cli({"read", "-n", "1", "--csv"});
  EXPECT_THAT(r.out, HasSubstr(",1500,20,"));
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, ImplausibleReadingsAreFlaggedAndCounted) {
  // One run, the monitor's reply changed as each line comes, so that the table costs one
  // start of the tool.
  const std::vector<ReadingReply> rows = ReadingReplies();
  StartSim({"--full-scale", std::to_string(kReadingRepliesFullScale)});
  sim.SetReadingReply(rows[0].reply);
  QProcess process;
  StartCli(process,
           {"--device", device, "read", "-n", std::to_string(rows.size()), "-i", "0.4", "--csv"},
           Ini());
  QByteArray out;
  QElapsedTimer elapsed;
  elapsed.start();
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto lines = static_cast<qsizetype>(i + 2);  // the header, then one per row
    while (out.count('\n') < lines && elapsed.elapsed() < 20000) {
      process.waitForReadyRead(100);
      out += process.readAllStandardOutput();
    }
    ASSERT_EQ(out.count('\n'), lines) << out.toStdString();
    if (i + 1 < rows.size()) sim.SetReadingReply(rows[i + 1].reply);
  }
  Result r = Finish(process);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(out.toStdString() + r.out);
  ASSERT_EQ(lines.size(), rows.size() + 1);
  long implausible = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_THAT(lines[i + 1], EndsWith(rows[i].plausible ? ",0" : ",1")) << rows[i].what;
    implausible += rows[i].plausible ? 0 : 1;
  }
  EXPECT_THAT(r.err, HasSubstr(std::to_string(implausible) + " of " + std::to_string(rows.size()) +
                               " readings were implausible"));
  r = Cli({"read", "-n", "1"});
  EXPECT_THAT(r.out, EndsWith(" implausible\n"));
}

TEST_F(CliTest, SettingsAreWrittenAndReadBack) {
  StartSim({"--model", "KRFMON04", "--firmware", "2010-06-01"});
  Result r =
      Cli({"set", "latch_alarm=1", "alarm_at_power_up=1", "relay_sense=1", "relay2_sense=1",
           "vswr_alarm_enable=0", "vswr_level=12", "check_on_zero_power=1", "high_power_level=90",
           "high_power_enable=1", "low_power_level=10", "low_power_enable=1", "ptt_enable=1",
           "ptt_delay=1", "fwd_dac_gain=8", "rfl_dac_gain=4"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The monitor counts the delay in steps: the user learns what it kept.
  EXPECT_EQ(r.out,
            "The push-to-talk delay was stored as 0.94 s, not 1 s: the monitor sets it in steps "
            "of 0.15625 s.\n");
  r = Cli({"settings"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(Lines(r.out),
              ElementsAre("latch_alarm=1", "alarm_at_power_up=1", "relay_sense=1", "relay2_sense=1",
                          "vswr_alarm_enable=0", "vswr_level=12", "check_on_zero_power=1",
                          "high_power_level=90", "high_power_enable=1", "low_power_level=10",
                          "low_power_enable=1", "ptt_enable=1", "ptt_delay=0.94", "fwd_dac_gain=8",
                          "rfl_dac_gain=4"));

  // One half of a pair keeps the other half.
  r = Cli({"set", "high_power_enable=0", "rfl_dac_gain=2", "ptt_delay=2.03"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "") << "said what was asked for";
  r = Cli({"settings"});
  EXPECT_THAT(Lines(r.out), Contains("high_power_level=90"));
  EXPECT_THAT(Lines(r.out), Contains("high_power_enable=0"));
  EXPECT_THAT(Lines(r.out), Contains("fwd_dac_gain=8"));
  EXPECT_THAT(Lines(r.out), Contains("rfl_dac_gain=2"));
  EXPECT_THAT(Lines(r.out), Contains("ptt_enable=1"));
  EXPECT_THAT(Lines(r.out), Contains("ptt_delay=2.03"));
}

TEST_F(CliTest, SetWritesHexadecimalValuesAsGiven) {
  StartSim({"--model", "KRFMON04"});
  Result r = Cli({"set", "vswr_level=0xC", "high_power_level=0x32", "fwd_dac_gain=0x8"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Cli({"settings"});
  EXPECT_THAT(Lines(r.out), Contains("vswr_level=12"));
  EXPECT_THAT(Lines(r.out), Contains("high_power_level=50"));
  EXPECT_THAT(Lines(r.out), Contains("fwd_dac_gain=8"));
}

TEST_F(CliTest, NumbersUseAPointUnderADecimalCommaLocale) {
  if (locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr))
    freelocale(german);
  else
    GTEST_SKIP() << "no de_DE.UTF-8 locale installed";
  const Environment german = {{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"}};
  StartSim({"--full-scale", "625", "--forward", "62.5", "--reflected", "2.5"});
  Result r = Cli({"read", "-n", "1", "--csv"}, "", german);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Lines(r.out).size(), 2u) << r.out;
  EXPECT_EQ(QString::fromStdString(Lines(r.out)[1]).count(','), 9) << Lines(r.out)[1];
  EXPECT_THAT(Lines(r.out)[1], HasSubstr(",62.5,2.5,1.50,"));

  EXPECT_EQ(Cli({"set", "ptt_delay=1.5"}, "", german).status, 0);
  EXPECT_THAT(Lines(Cli({"settings"}, "", german).out), Contains("ptt_delay=1.56"));
  EXPECT_EQ(Cli({"fullscale", "33.3"}, "", german).out, "33.3\n");
  sim.PowerCycle();  // the monitor takes a new full scale at power-up
  r = Cli({"calibrate", "forward"}, "o\n", german);
  EXPECT_THAT(r.out, HasSubstr("Connect      6.66 W in forward direction."));
}

TEST_F(CliTest, SettingsNeedAMonitorOfAKnownModel) {
  StartSim({"--model", "ACME0001"});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings"}, {"set", "vswr_level=3"}}) {
    const Result r = Cli(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.err, "vemoswr-cli: Power monitor is not connected.\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_THAT(sim.ReceivedCommands(), Each(Eq(std::string("I"))));
}

TEST_F(CliTest, SettingsTheModelLacksAreRefusedAndNotPrinted) {
  StartSim({"--model", "KRFMON01", "--firmware", "2009-12-31"});
  Result r = Cli({"set", "vswr_level=3", "relay2_sense=1", "ptt_enable=1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("relay2_sense"));
  EXPECT_THAT(r.err, HasSubstr("ptt_enable"));
  EXPECT_THAT(r.err, HasSubstr("KRFMON01"));
  EXPECT_THAT(r.err, Not(HasSubstr("vswr_level")));
  EXPECT_THAT(sim.ReceivedCommands(), Each(Eq(std::string("I"))));
  r = Cli({"settings"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(Lines(r.out), ElementsAre("vswr_level=7", "check_on_zero_power=0", "fwd_dac_gain=1",
                                        "rfl_dac_gain=1"));
  sim.Stop();

  // This one takes the push-to-talk commands but cannot report whether push-to-talk is
  // on: a delay alone would switch it off.
  StartSim({"--model", "KRFMON01", "--firmware", "2010-06-01"});
  r = Cli({"set", "ptt_delay=2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("ptt_enable"));
  EXPECT_THAT(sim.ReceivedCommands(), Each(Eq(std::string("I"))));
  r = Cli({"set", "ptt_enable=1", "ptt_delay=2"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Cli({"settings"});
  EXPECT_THAT(Lines(r.out), Contains("ptt_delay=2.03"));
  EXPECT_THAT(Lines(r.out), Not(Contains(HasSubstr("ptt_enable"))));
}

TEST_F(CliTest, FullScaleEepromAndAlarmReset) {
  StartSim({"--model", "KRFMON03"});
  Result r = Cli({"fullscale", "100"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "100\n");
  EXPECT_EQ(Cli({"fullscale"}).out, "100\n");
  EXPECT_EQ(Cli({"eeprom", "32"}).out, "12500\n");
  EXPECT_EQ(Cli({"eeprom", "0x22"}).out, "1\n");
  r = Cli({"eeprom", "3", "0x1234"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Cli({"eeprom", "3"}).out, "4660\n");
  r = Cli({"reset-alarm"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(sim.ReceivedCommands(), Contains("A"));
}

TEST_F(CliTest, CalibrationAsksOnTheTerminal) {
  StartSim({"--full-scale", "625"});
  Result r = Cli({"calibrate", "forward"}, "o\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("Connect    100.00 W in forward direction. (Ok when ready)\n"
                               "OK or Cancel? [o/c] "));
  sim.Stop();

  StartSim({"--calibration-error"});
  r = Cli({"calibrate", "zero"}, "ok\nc\n");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_THAT(r.out, HasSubstr("The SWR monitor returned an error while attempting\n"
                               "the calibration.\nDisconnect RF power now."));
  const std::vector<std::string> received = sim.ReceivedCommands();
  EXPECT_THAT(received, Contains("Y"));
  EXPECT_THAT(received, Contains("Q"));
}

TEST_F(CliTest, CalibrationSaysWhenTheStepDidNotStartOrWasCancelled) {
  StartSim({"--no-prompt-calibration"});
  Result r = Cli({"calibrate", "zero"}, "o\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("did not start the zero calibration step"));
  EXPECT_THAT(r.out, Not(HasSubstr("OK or Cancel?")));
  sim.Stop();

  StartSim({});
  r = Cli({"calibrate", "reflected"}, "c\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("reflected calibration step was cancelled"));
  EXPECT_THAT(sim.ReceivedCommands(), Contains("Q"));
}

TEST_F(CliTest, PortNumbersResolveThroughTheSettingsFile) {
  StartSim({"--model", "VPMon002", "--firmware", "2003-10-20"});
  QFile ini(Ini());
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(("[Ports]\nCOM3=" + device + "\n").c_str());
  ini.close();
  Result r = Plain({"--port", "3", "identify"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "model=VPMon002 firmware=2003-10-20 known=yes\n");
  r = Plain({"--port", "4", "identify"});  // nothing there
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("vemoswr-cli: "));
}

// Two hours at one reading every 10 s: 100 W keyed, then 50 W unkeyed; the summaries and
// the readings come back in the columns the help names, a file that is none says so.
TEST_F(CliTest, HistoryExportsReadingsAndSummariesOfAStoredHistory) {
  const std::string db = dir.filePath("tx.sqlite").toStdString();
  constexpr qint64 kStart = 1'700'002'800'000;  // 2023-11-14T23:00:00Z
  {
    HistoryStore store(db);
    for (int i = 0; i < 720; ++i) {
      TMonitorReading r;
      r.Forward = i < 360 ? 100 : 50;
      r.Reflected = 1;
      store.Add(kStart + i * 10'000LL, r, {0, i < 360});
    }
  }
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> want;  // the first lines
    size_t lines;
  };
  const Case cases[] = {
      {{"--summary", "hour", "--csv", "--utc"},
       {"time,readings,gaps,forward_min_w,forward_mean_w,forward_max_w,reflected_min_w,"
        "reflected_mean_w,reflected_max_w,vswr_min,vswr_mean,vswr_max,alarm_s,keyed_s",
        "2023-11-14T23:00:00.000Z,360,0,100,100,100,1,1,1,1.22222,1.22222,1.22222,0,3600"},
       3},
      {{"--from", "2023-11-15T00:59:50Z", "--csv", "--utc"},
       {"time,forward_w,reflected_w,vswr,return_loss_db,rho,transmitted_pct,dbm,alarm,"
        "implausible,alarms,keyed,frequency_hz,band,forward_raw_w,reflected_raw_w",
        "2023-11-15T00:59:50.000Z,50,1,1.33,-16.99,0.14,98.00,47.0,0,0,,0,,,,"},
       2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"history", db};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Plain(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), c.lines) << r.out;
    for (size_t i = 0; i < c.want.size(); ++i) EXPECT_EQ(lines[i], c.want[i]);
  }
  const Result bad = Plain({"history", Ini().toStdString()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("cannot read the history"));

  // The same history's weekly report; a period that is none, a place that cannot be written.
  const std::string html = dir.filePath("week.html").toStdString();
  const Result week = Plain({"report", db, "--week", "2023-W46", "--output", html});
  ASSERT_EQ(week.status, 0) << week.err;
  QFile file(QString::fromStdString(html));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith("<!DOCTYPE html>\n<html lang=\"en\">"));
  EXPECT_EQ(Plain({"report", db, "--day", "2023-02-30"}).status, 2);
  const Result unwritable =
      Plain({"report", db, "--day", "2023-11-15", "--output", "/proc/x.html"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_THAT(unwritable.err, HasSubstr("cannot write the report to /proc/x.html"));
}

TEST_F(CliTest, FailuresEndWithStatusOneAndTheMessage) {
  StartSim({"--silent"});
  Result r = Cli({"identify"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vemoswr-cli: No answer from the monitor on " + device +
                       " (9600 baud, 8 data bits, no parity, 1 stop bit). Check that it is "
                       "switched on and cabled to this port, and that no other program is "
                       "reading from the port.\n");
  EXPECT_EQ(r.out, "");
  sim.Stop();

  StartSim({"--bad-eeprom-echo"});
  r = Cli({"eeprom", "3", "7"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vemoswr-cli: Error writing to EEPROM\n");

  r = Plain({"--device", dir.filePath("no-such-device").toStdString(), "identify"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("vemoswr-cli: "));
}

TEST_F(CliTest, SerialFailuresSayWhatHappenedAndNameTheDevice) {
  const std::string missing = dir.filePath("no-such-device").toStdString();
  QFile ini(Ini());
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(("[Ports]\nCOM4=" + missing + "\n").c_str());
  ini.close();
  struct Row {
    std::vector<std::string> args;
    std::string message;
  };
  const Row rows[] = {
      {{"--device", "/dev/null", "identify"}, "Cannot open /dev/null: it is not a serial device."},
      {{"--device", missing, "identify"},
       "Cannot open " + missing + ": the device does not exist."},
      {{"--port", "4", "identify"},
       "Cannot open COM4 (" + missing + "): the device does not exist."},
  };
  for (const Row& row : rows) {
    const Result r = Plain(row.args);
    EXPECT_EQ(r.status, 1) << row.message;
    EXPECT_THAT(r.err, HasSubstr("vemoswr-cli: " + row.message));
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, Not(HasSubstr("ie_")));
  }

  // Reply bytes in a message are escaped: one failure, one line.
  StartSim({"--model", "KRFMON03", "--stray-prefix", "\r\n\r\n\r\n\r\n\r\n"});
  const Result r = Cli({"settings"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_THAT(r.err, HasSubstr("Unexpected result\\r\\n\\r\\n"));
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailureButAClosedPipeEndsQuietly) {
  StartSim({});
  const std::vector<std::string> commands[] = {
      {"--device", device, "identify"},
      {"--device", device, "read", "-n", "2", "-i", "0.05", "--csv"},
      {"--device", device, "settings"},
      {"ports"}};
  for (const auto& args : commands) {
    QProcess process;
    process.setStandardOutputFile("/dev/full");
    StartCli(process, args, Ini());
    const Result r = Finish(process);
    EXPECT_EQ(r.status, 1) << args.back();
    EXPECT_EQ(r.err, "vemoswr-cli: cannot write the output: No space left on device\n");
  }

  // Even with SIGPIPE ignored by its parent, the tool ends as a filter does.
  QProcess shell;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VEMOSWR_INI", Ini());
  shell.setProcessEnvironment(env);
  shell.start("bash", {"-c",
                       "trap '' PIPE; \"$0\" --device \"$1\" read -i 0.05 | head -n 1 "
                       ">/dev/null; echo ${PIPESTATUS[0]}",
                       CliExecutable(), QString::fromStdString(device)});
  const Result piped = Finish(shell);
  EXPECT_EQ(piped.out, "141\n");
  EXPECT_EQ(piped.err, "");
}

TEST_F(CliTest, OptionsTakeTheirValueAfterAnEqualsSign) {
  StartSim({"--model", "KRFMON02", "--firmware", "2009-02-03"});
  QFile ini(Ini());
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(("[Ports]\nCOM3=" + device + "\n").c_str());
  ini.close();
  for (const std::string& option : {"--device=" + device, std::string("--port=3")}) {
    const Result r = Plain({option, "identify"});
    EXPECT_EQ(r.status, 0) << option << ": " << r.err;
    EXPECT_EQ(r.out, "model=KRFMON02 firmware=2009-02-03 known=yes\n") << option;
  }
  const Result version = Plain({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(
      QRegularExpression(R"(^vemoswr-cli \d+\.\d+(\.\d+)*\n[\s\S]*GNU GPL version 3 or later)")
          .match(QString::fromStdString(version.out))
          .hasMatch())
      << version.out;
}

TEST_F(CliTest, OutOfRangeMessagesGiveTheBoundsAsWritten) {
  // Nothing beyond the meter's ranges (600 kW at most) reaches the monitor's EEPROM.
  for (const char* watts : {"1e30", "1000001"}) {
    const Result r = Plain({"fullscale", watts});
    EXPECT_EQ(r.status, 2) << watts;
    EXPECT_THAT(r.err, HasSubstr("fullscale: '" + std::string(watts) +
                                 "' is not a number from 0.001 to 1000000\n"));
  }
  EXPECT_THAT(Plain({"set", "ptt_delay=15"}).err,
              HasSubstr("ptt_delay: '15' is not a number from 0 to 14.0625\n"));
}

TEST_F(CliTest, ReadPrintsAlarmEventsAndEndsWithStatusThreeOnTheFirst) {
  // VSWR 2.06, below the monitor's own level.
  StartSim({"--forward", "100", "--reflected", "12", "--vswr-level", "12"});
  Result r = Cli({"read", "-n", "2", "-i", "0.05", "--vswr-above=2.5", "--forward-below", "50"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 2u);
  EXPECT_EQ(r.err, "");

  r = Cli({"read", "-i", "0.05", "--keyed-above", "5", "--reflected-above", "20", "--vswr-above",
           "2", "--delay", "0.2", "--exit-on-alarm"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_GE(Lines(r.out).size(), 4u) << "tripped before the delay";
  const QRegularExpression event(
      R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d alarm source=vswr event=tripped value=2\.06 level=2\n$)");
  EXPECT_TRUE(event.match(QString::fromStdString(r.err)).hasMatch()) << r.err;

  // A carrier that must stay on trips below its level keyed or not.
  r = Cli({"read", "-i", "0.05", "--off-air-below", "150", "--exit-on-alarm"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_THAT(r.err, HasSubstr("alarm source=offair event=tripped value=100 level=150")) << r.err;
}

TEST_F(CliTest, UsageErrorsEndWithStatusTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"--port"},
      {"--port", "x", "identify"},
      {"--port", "0", "identify"},
      {"--port", "256", "identify"},
      {"--port", "2", "--device", "/dev/null", "identify"},
      {"--verbose", "identify"},
      {"identify", "now"},
      {"read", "-n", "0"},
      {"read", "-i", "-1"},
      {"read", "--tsv"},
      {"read", "--vswr-above", "1"},
      {"read", "--reflected-above"},
      {"read", "--delay", "-1"},
      {"read", "--exit-on-alarm=1"},
      {"set"},
      {"set", "foo=1"},
      {"set", "latch_alarm=2"},
      {"set", "vswr_level=13"},
      {"set", "ptt_delay=15"},
      {"set", "latch_alarm"},
      {"set", "latch_alarm=1", "latch_alarm=0"},
      {"fullscale", "-5"},
      {"fullscale", "1", "2"},
      {"eeprom"},
      {"eeprom", "256"},
      {"eeprom", "1", "65536"},
      {"calibrate", "sideways"},
      {"read", "--interlock", "--vswr-above", "2"},
      {"read", "--rig", "127.0.0.1:4532", "--interlock"},
      {"read", "--rig", "127.0.0.1:4532", "--vswr-above", "2", "--safe-power", "5"},
      {"sweep", "--rig", "127.0.0.1:4532", "--from", "14000000", "--to", "14350000"},
      {"sweep", "--rig", "127.0.0.1:4532", "--from", "2", "--to", "1", "--step", "1"},
      {"sweep", "--rig", "127.0.0.1:4532", "--from", "1", "--to", "2", "--step", "1", "--dwell",
       "50"},
      {"sweep", "--rig", "127.0.0.1:4532", "--from", "1", "--to", "2", "--step", "1", "--power",
       "20"},
  };
  for (const auto& args : bad) {
    const Result r = Plain(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.status, 2) << line;
    // The message, not buried under the whole help.
    EXPECT_THAT(Lines(r.err),
                ElementsAre(testing::StartsWith("vemoswr-cli: "), "Try 'vemoswr-cli --help'."))
        << line;
  }
  const Result help = Plain({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("usage: vemoswr-cli"));
}

TEST_F(CliTest, ContinuousReadingEndsCleanlyOnInterrupt) {
  StartSim({});
  QProcess process;
  StartCli(process, {"--device", device, "read", "-i", "0.1", "--csv"}, Ini());
  // Each line is flushed as it is read: wait for a few.
  const QByteArray out = WaitForLines(process, 4);
  ASSERT_GE(out.count('\n'), 4) << out.toStdString();
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  const Result r = Finish(process, 8000);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, CountedReadingCutShortBySignalExitsWithTheSignalsStatusAndLetsThePortGo) {
  StartSim({});
  QTemporaryDir locks;
  const Environment env = {{"VEMOSWR_LOCK_DIR", locks.path()}};
  for (const auto& [signal, status] :
       {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    QProcess process;
    StartCli(process, {"--device", device, "read", "-n", "100", "-i", "0.1"}, Ini(), env);
    ASSERT_GE(WaitForLines(process, 2).count('\n'), 2);
    ASSERT_EQ(QDir(locks.path()).entryList(QDir::Files).size(), 1) << "no lock taken";
    ::kill(static_cast<pid_t>(process.processId()), signal);
    const Result r = Finish(process, 8000);
    EXPECT_EQ(r.status, status) << signal;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(QDir(locks.path()).entryList(QDir::Files), testing::IsEmpty()) << signal;
  }
}

TEST_F(CliTest, TuneBarFollowsTheVSWRRingsAtEachNewBestAndRestsWhileUnkeyed) {
  StartSim({"--forward", "100", "--reflected", "1"});
  QProcess process;
  StartCli(process, {"--device", device, "tune", "-i", "0.05"}, Ini());
  // The first line that starts with prefix (the readings before it still show the old
  // state); empty after ten seconds.
  const auto lineStarting = [&process](const std::string& prefix) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 10000) {
      if (!process.canReadLine() && !process.waitForReadyRead(200)) continue;
      while (process.canReadLine()) {
        const std::string line = process.readLine().toStdString();
        if (line.rfind(prefix, 0) == 0) return line;
      }
    }
    return std::string();
  };
  const auto bar = [](const std::string& line) {
    return std::count(line.begin(), line.end(), '#');
  };
  const struct {
    double forward, reflected;
    const char* line;  // how it starts
    bool bell;
  } steps[] = {{100, 1, "vswr=1.22 [", false},
               {100, 0.25, "vswr=1.11 [", true},
               {100, 4, "vswr=1.50 [", false},
               {0, 0, "unkeyed", false},
               {100, 1, "vswr=1.22 [", false}};
  std::vector<std::string> lines;
  for (const auto& step : steps) {
    // No reading between the two may key up with reflected power of the step before.
    if (step.forward > 0) sim.SetReflected(step.reflected);
    sim.SetForward(step.forward);
    sim.SetReflected(step.reflected);
    lines.push_back(lineStarting(step.line));
    ASSERT_FALSE(lines.back().empty()) << step.line;
    EXPECT_EQ(lines.back().find('\a') != std::string::npos, step.bell) << lines.back();
  }
  EXPECT_GT(bar(lines[1]), bar(lines[0]));
  EXPECT_LT(bar(lines[2]), bar(lines[0]));
  EXPECT_THAT(lines[2], HasSubstr("best=1.11"));
  EXPECT_THAT(lines[4], HasSubstr("best=1.22")) << "a new key-up starts a new search";
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  EXPECT_EQ(Finish(process, 8000).status, 0);
}

TEST_F(CliTest, ReadingGoesOnAfterAFailureButStopsAtTheFourthInARow) {
  StartSim({"--garbage-numbers"});
  QElapsedTimer elapsed;
  elapsed.start();
  const Result r = Cli({"read", "-i", "0.05"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  const std::vector<std::string> errors = Lines(r.err);
  ASSERT_EQ(errors.size(), 4u) << r.err;
  for (const std::string& e : errors) EXPECT_THAT(e, HasSubstr(" Error in GetReading"));
  EXPECT_LT(elapsed.elapsed(), 10000);
}

TEST_F(CliTest, ReadingEndsWithinSecondsWhenTheDeviceDisappears) {
  StartSim({});
  QProcess process;
  StartCli(process, {"--device", device, "read", "-i", "0.2"}, Ini());
  QElapsedTimer elapsed;
  elapsed.start();
  QByteArray out;
  while (out.count('\n') < 2 && elapsed.elapsed() < 10000) {
    process.waitForReadyRead(200);
    out += process.readAllStandardOutput();
  }
  ASSERT_GE(out.count('\n'), 2);
  sim.HangUp();
  elapsed.restart();
  const Result r = Finish(process, 15000);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_THAT(r.err, HasSubstr("vemoswr-cli: " + device + " has gone away"));
  EXPECT_LT(elapsed.elapsed(), 6000);
}

}  // namespace
}  // namespace vemo::test

namespace vemo::test {
namespace {

TEST_F(CliTest, PortsListsTheMachinesDevicesAndSaysWhichIsTheConsole) {
  QTemporaryDir root;
  const QDir r(root.path());
  ASSERT_TRUE(r.mkpath("sys/class/tty/ttyAMA0") && r.mkpath("sys/class/tty/console") &&
              r.mkpath("dev") && r.mkpath("proc"));
  for (const char* file : {"dev/ttyAMA0", "dev/rfcomm0", "proc/cmdline"}) {
    QFile f(r.filePath(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    if (QString(file) == "proc/cmdline") f.write("console=ttyAMA0,115200\n");
  }
  const Environment env = {{"VEMOSWR_SYS_ROOT", r.filePath("sys")},
                           {"VEMOSWR_DEV_ROOT", r.filePath("dev")},
                           {"VEMOSWR_PROC_ROOT", r.filePath("proc")}};
  const Result result = Plain({"ports"}, "", env);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(
      Lines(result.out),
      ElementsAre(testing::MatchesRegex("- +.*/dev/rfcomm0 +free +Bluetooth .*"),
                  testing::MatchesRegex("- +.*/dev/ttyAMA0 +console \u2013 not usable .*")));
}

TEST_F(CliTest, PortsAreListedWithTheirUseAndAHeldOrForbiddenPortNamesTheHolderOrGroup) {
  StartSim({});
  const std::string real = std::filesystem::canonical(device).string();
  QFile ini(Ini());
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(("[Ports]\nCOM5=" + device + "\n").c_str());
  ini.close();
  // pid 1 lives as long as the machine does.
  QTemporaryDir locks;
  QFile lock(locks.filePath(
      QString::fromStdString("LCK.." + std::filesystem::path(real).filename().string())));
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write("         1\n");
  lock.close();
  const Environment env = {{"VEMOSWR_LOCK_DIR", locks.path()}};

  Result r = Plain({"ports"}, "", env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(Lines(r.out),
              Contains(testing::MatchesRegex("COM5 +" + device + " +locked by process 1 .*")))
      << r.out;
  r = Cli({"identify"}, "", env);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("another program is using it (held by process 1)"));

  if (geteuid() != 0) return;  // the ordinary user below is made from root
  const group* owner = ::getgrnam("dialout");
  ASSERT_NE(owner, nullptr);
  ::chmod(real.c_str(), 0600);
  // The ordinary user may not reach the build folder (a checkout under a private folder):
  // it runs a copy of the tool from a folder it can enter.
  QTemporaryDir reachable;
  ASSERT_TRUE(QFile::setPermissions(reachable.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner | QFile::ReadOther |
                                                          QFile::ExeOther));
  const QString tool = reachable.filePath("vemoswr-cli");
  ASSERT_TRUE(QFile::copy(CliExecutable(), tool));
  ASSERT_TRUE(QFile::setPermissions(
      tool, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
  // A group a user may join is named; root, which no user should join, calls for a udev rule.
  const struct {
    gid_t group;
    std::string advice;
  } rows[] = {
      {owner->gr_gid,
       "The device belongs to group 'dialout': add your user to it (sudo "
       "usermod -aG dialout $USER)"},
      {0,
       "The device belongs to group 'root', which is not for users: let a udev rule give it "
       "to group dialout, e.g. the line SUBSYSTEM==\"tty\", KERNEL==\"" +
           std::filesystem::path(real).filename().string() + "\", GROUP=\"dialout\""},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(::chown(real.c_str(), static_cast<uid_t>(-1), row.group), 0);
    QProcess process;
    process.setChildProcessModifier([] {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    });
    StartCli(process, {"--device", real, "identify"}, Ini(), {}, tool);
    r = Finish(process);
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr(row.advice));
  }
}

class CliRigTest : public CliTest {
 protected:
  void SetUp() override {
    rigctld.Start();
    rigctld.Rigctl({"F", "7074000"});
  }
  RigctldProcess rigctld;
};

TEST_F(CliRigTest, SweepFindsTheAntennasResonanceAndRestoresTheRig) {
  StartSim({"--resonance", "14175000", "--bandwidth", "300000", "--rig", rigctld.Address()});
  // The simulator learns of the key-up by asking rigctld, which answers PTT some 50 ms late:
  // the dwell leaves it room to, on a loaded machine too.
  const Result r = Cli({"sweep", "--rig", rigctld.Address(), "--from", "14000000", "--to",
                        "14350000", "--step", "25000", "--dwell", "250", "--power", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 16u) << r.out;
  EXPECT_EQ(lines[0], "frequency_hz,forward_w,reflected_w,vswr");
  double best = 1e9;
  long long bestHz = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto fields = QString::fromStdString(lines[i]).split(',');
    ASSERT_EQ(fields.size(), 4) << lines[i];
    EXPECT_GT(fields[1].toDouble(), 1) << "a reading from before the key-up: " << lines[i];
    if (fields[3].toDouble() < best) best = fields[3].toDouble(), bestHz = fields[0].toLongLong();
  }
  EXPECT_NEAR(bestHz, 14175000, 25000);
  EXPECT_THAT(r.err, HasSubstr("minimum vswr="));
  EXPECT_EQ(rigctld.Frequency(), 7074000);
  EXPECT_FALSE(rigctld.Ptt());
}

TEST_F(CliRigTest, AnInterruptedSweepLeavesTheRigUnkeyedAndRestored) {
  StartSim({"--resonance", "14175000", "--rig", rigctld.Address()});
  QProcess process;
  StartCli(process,
           {"--device", device, "sweep", "--rig", rigctld.Address(), "--from", "14000000", "--to",
            "14350000", "--step", "10000", "--dwell", "10000"},
           Ini());
  QElapsedTimer keying;
  keying.start();
  while (!rigctld.Ptt() && keying.elapsed() < 10000) process.waitForReadyRead(50);
  ASSERT_TRUE(rigctld.Ptt()) << "the first step never keyed the rig";
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  const Result r = Finish(process, 8000);
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_EQ(rigctld.Frequency(), 7074000);
}

TEST_F(CliRigTest, AnAlarmEndsTheSweepUnkeyedAndRestored) {
  StartSim({"--resonance", "14175000", "--bandwidth", "100000", "--rig", rigctld.Address()});
  // Far off resonance at the first step: VSWR well above 1.5.
  const Result r = Cli({"sweep", "--rig", rigctld.Address(), "--from", "14000000", "--to",
                        "14350000", "--step", "10000", "--dwell", "100", "--vswr-above", "1.5"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_THAT(r.err, HasSubstr("alarm source=vswr event=tripped"));
  EXPECT_THAT(r.err, HasSubstr("Sweep stopped: Alarm: "));
  EXPECT_LE(Lines(r.out).size(), 2u);
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_EQ(rigctld.Frequency(), 7074000);
}

TEST_F(CliRigTest, ReadingsCarryFrequencyBandAndCorrectionAndTheBandsLevelUnkeysTheRig) {
  rigctld.Rigctl({"F", "14074000"});
  rigctld.Rigctl({"M", "CW", "500"});
  rigctld.Rigctl({"L", "RFPOWER", "1"});
  rigctld.Rigctl({"T", "1"});
  {
    QFile ini(Ini());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Alarms 20m]\nVSWRAbove=1.5\n[Corrections]\n20m=0,1\n");
  }
  StartSim({"--forward", "100", "--reflected", "12", "--vswr-level", "12"});
  // VSWR 2.06 measured, 2.32 corrected: under the global level, over 20 m's own.
  const Result r = Cli({"read", "-n", "4", "-i", "0.3", "--csv", "--rig", rigctld.Address(),
                        "--vswr-above", "5", "--interlock", "--safe-power", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_THAT(lines[0], EndsWith(",implausible,frequency_hz,band,forward_raw_w,reflected_raw_w"));
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_THAT(lines[i], EndsWith(",14074000,20m,100,12"));
  EXPECT_THAT(lines.back(), HasSubstr(",100,15.1"));
  EXPECT_THAT(r.err, HasSubstr("interlock event=tripped reason=vswr"));
  EXPECT_FALSE(rigctld.Ptt());
  // 5 W of the dummy rig's 100 W.
  EXPECT_NEAR(std::stod(rigctld.Rigctl({"l", "RFPOWER"})), 0.05, 0.01);
}

}  // namespace
}  // namespace vemo::test
