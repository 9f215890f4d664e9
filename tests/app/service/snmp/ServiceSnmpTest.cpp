// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswrd as a subagent of a real snmpd, both started here on loopback with their own
// configuration: what a network operations centre reads with snmpwalk and receives with
// snmptrapd, compared with what the simulated monitors measure.
#include "tests/support/SimProcess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <memory>

namespace vemo::test {
namespace {

const QString kEntry = ".1.3.6.1.4.1.32473.1.1.1";

quint16 FreeUdpPort() {
  QUdpSocket s;
  s.bind(QHostAddress::LocalHost, 0);
  return s.localPort();
}

class ServiceSnmp : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tools without the system's MIBs (Debian ships almost none) or persistent state.
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("MIBS", "");
    env_.insert("MIBDIRS", "");
    env_.insert("SNMP_PERSISTENT_DIR", dir_.filePath("persist"));
    env_.insert("SNMPCONFPATH", dir_.path());
    env_.insert("VEMOSWRD_INI", dir_.filePath("vemoswrd.ini"));
    snmpPort_ = FreeUdpPort();
    trapPort_ = FreeUdpPort();
    // Write access at the master, so that refusing a write is the subagent's own doing.
    Write("snmpd.conf", "master agentx\nrwcommunity public 127.0.0.1\ntrap2sink 127.0.0.1:" +
                            QByteArray::number(trapPort_) + " public\n");
    Write("snmptrapd.conf", "disableAuthorization yes\n");
    Write("vemoswrd.ini", "[Alarms]\nVSWRAbove=2.0\nKeyedAbove=1\n");
    Start(trapd_, "snmptrapd",
          {"-f", "-C", "-c", dir_.filePath("snmptrapd.conf"), "-Lf", dir_.filePath("traps.log"),
           "-On", "udp:127.0.0.1:" + QString::number(trapPort_)});
    Start(snmpd_, "snmpd",
          {"-f", "-Lo", "-C", "-c", dir_.filePath("snmpd.conf"), "-x",
           "unix:" + dir_.filePath("agentx"), "udp:127.0.0.1:" + QString::number(snmpPort_)});
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(dir_.filePath("agentx")); }, 5000));
    for (const char* name : {"tx", "rx"})
      sims_.emplace_back(std::make_unique<SimProcess>())
          ->Start({"--link", dir_.filePath(name).toStdString(), "--noise", "0", "--forward",
                   name[0] == 't' ? "100" : "60", "--reflected", "4", "--full-scale", "250"});
    Start(service_, QCoreApplication::applicationDirPath() + "/../bin/vemoswrd",
          {"--monitor", "tx=" + dir_.filePath("tx"), "--monitor", "rx=" + dir_.filePath("rx"),
           "--interval", "200", "--listen", "127.0.0.1:0", "--agentx",
           "unix:" + dir_.filePath("agentx")});
  }
  void TearDown() override {
    for (QProcess* p : {&service_, &snmpd_, &trapd_}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(3000)) p->kill();
      p->waitForFinished(2000);
    }
  }

  void Write(const QString& name, const QByteArray& text) {
    QFile f(dir_.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  void Start(QProcess& p, const QString& program, const QStringList& args) {
    p.setProcessEnvironment(env_);
    p.setProcessChannelMode(program.endsWith("vemoswrd") ? QProcess::ForwardedErrorChannel
                                                         : QProcess::MergedChannels);
    if (!program.endsWith("vemoswrd")) p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    ASSERT_TRUE(p.waitForStarted(5000)) << program.toStdString();
  }
  // "OID = value" lines of snmpwalk or snmpget, numeric.
  QString Run(const QString& tool, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env_);
    p.start(tool, QStringList{"-v2c", "-c", "public", "-On", "-Oe", "-t", "2", "-r", "1",
                              "127.0.0.1:" + QString::number(snmpPort_)} +
                      args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
  }
  QString Cell(int column, int row) {
    return Run("snmpget", {kEntry + "." + QString::number(column) + "." + QString::number(row)});
  }
  QString Traps() {
    QFile f(dir_.filePath("traps.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

  QTemporaryDir dir_;
  QProcessEnvironment env_;
  quint16 snmpPort_ = 0, trapPort_ = 0;
  QProcess snmpd_, trapd_, service_;
  std::vector<std::unique_ptr<SimProcess>> sims_;
};

TEST_F(ServiceSnmp, WalkShowsTheSimulatedValuesAndEachTransitionSendsOneTrap) {
  ASSERT_TRUE(WaitUntil([&] { return Cell(10, 2).contains("INTEGER: 1"); }, 15000))
      << Cell(10, 2).toStdString();
  const QString walk = Run("snmpwalk", {kEntry});
  struct {
    const char* cell;
    const char* value;
  } const expected[] = {
      {"2.1", "STRING: \"tx\""},       {"2.2", "STRING: \"rx\""},
      {"3.1", "STRING: \"KRFMON03\""}, {"4.1", "STRING: \"2010-06-01\""},
      {"5.1", "INTEGER: 100000"},      {"5.2", "INTEGER: 60000"},
      {"6.2", "INTEGER: 4000"},        {"7.1", "INTEGER: 150"},
      {"7.2", "INTEGER: 170"},         {"8.1", "INTEGER: -1398"},
      {"9.1", "INTEGER: 3"},           {"12.1", "INTEGER: 1"},
  };
  for (const auto& e : expected)
    EXPECT_TRUE(walk.contains(kEntry + "." + e.cell + " = " + e.value))
        << e.cell << " " << e.value << "\n"
        << walk.toStdString();
  EXPECT_TRUE(Run("snmpset", {kEntry + ".2.1", "s", "x"}).contains("notWritable"));

  // 30 W reflected of 100 W: VSWR 3.42, above 2.0. The monitor's own alarm flag trips and
  // clears alongside: wait for the VSWR's own notifications. Each is one line of the log.
  const QRegularExpression tripped(R"(32473\.0\.1\s[^\n]*STRING: "vswr"[^\n]*)");
  const QRegularExpression cleared(R"(32473\.0\.2\s[^\n]*STRING: "vswr")");
  sims_[0]->SetReflected(30);
  ASSERT_TRUE(WaitUntil([&] { return Traps().count(tripped) == 1; }, 10000))
      << Traps().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return Cell(12, 1).contains("INTEGER: 2"); }, 5000));
  const QString trap = tripped.match(Traps()).captured();
  EXPECT_TRUE(trap.contains(".1.3.6.1.4.1.32473.1.2.2.0 = INTEGER: 3422")) << trap.toStdString();
  EXPECT_TRUE(trap.contains(".1.3.6.1.4.1.32473.1.2.3.0 = INTEGER: 2000"));
  EXPECT_TRUE(trap.contains(".1.3.6.1.4.1.32473.1.1.1.7.1 = INTEGER: 342"));

  sims_[0]->SetReflected(4);
  ASSERT_TRUE(WaitUntil([&] { return Traps().count(cleared) == 1; }, 10000));
  EXPECT_EQ(Traps().count(tripped), 1);

  // Unplugged and plugged in again: one link lost, and a second link found after the one
  // of the start.
  const QRegularExpression lost(R"(32473\.0\.3\s.*?STRING: "rx")");
  const QRegularExpression found(R"(32473\.0\.4\s.*?STRING: "rx")");
  sims_[1]->HangUp();
  ASSERT_TRUE(WaitUntil([&] { return Traps().count(lost) == 1; }, 10000)) << Traps().toStdString();
  sims_[1]->Plug();
  ASSERT_TRUE(WaitUntil([&] { return Traps().count(found) == 2; }, 15000)) << Traps().toStdString();
  EXPECT_EQ(Traps().count(lost), 1);

  // Detaching from snmpd is part of a clean stop.
  service_.terminate();
  ASSERT_TRUE(service_.waitForFinished(5000));
  EXPECT_EQ(service_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service_.exitCode(), 0);
}

}  // namespace
}  // namespace vemo::test
