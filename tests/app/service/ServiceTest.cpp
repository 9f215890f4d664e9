// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswrd run as a station runs it: several simulated monitors on ptys, the service on a
// free loopback port, and the real tools that consume it (promtool, Prometheus, a
// headless browser), each stopped at the end.
#include "tests/support/ReadingReplies.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vemo::test {
namespace {

QString Bin(const QString& name) {
  const QByteArray dir = qgetenv("VEMO_BIN_DIR");
  return (dir.isEmpty() ? QCoreApplication::applicationDirPath() + "/../bin"
                        : QString::fromLocal8Bit(dir)) +
         "/" + name;
}

quint16 FreePort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  return s.serverPort();
}

struct Response {
  int status = 0;
  QByteArray headers;
  QByteArray body;
};

// One request on its own connection; status 0 when no answer came.
Response Http(quint16 port, const QByteArray& method, const QByteArray& path,
              const QByteArray& extraHeaders = {}, const QByteArray& body = {}) {
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, port);
  Response r;
  if (!s.waitForConnected(2000)) return r;
  s.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
          "\r\n" + extraHeaders + "Content-Length: " + QByteArray::number(body.size()) +
          "\r\n\r\n" + body);
  QByteArray all;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000) {
    s.waitForReadyRead(100);
    all += s.readAll();
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0) {
      if (s.state() != QAbstractSocket::ConnectedState) break;
      continue;
    }
    const QRegularExpressionMatch m =
        QRegularExpression("content-length: *(\\d+)", QRegularExpression::CaseInsensitiveOption)
            .match(QString::fromLatin1(all.left(end)));
    const qsizetype length = m.hasMatch() ? m.captured(1).toLongLong() : 0;
    if (all.size() >= end + 4 + length) {
      r.status = all.mid(9, 3).toInt();
      r.headers = all.left(end);
      r.body = all.mid(end + 4, length);
      break;
    }
  }
  return r;
}

// The sample of a family for one monitor in an exposition, if there is one.
std::optional<double> Sample(const QByteArray& text, const QString& name, const QString& monitor) {
  const QRegularExpression re("^" + name + "\\{monitor=\"" + monitor + "\"\\} (\\S+)$",
                              QRegularExpression::MultilineOption);
  const QRegularExpressionMatch m = re.match(QString::fromUtf8(text));
  if (!m.hasMatch()) return std::nullopt;
  return m.captured(1).toDouble();
}

class Service {
 public:
  ~Service() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(2000);
    }
  }
  // Starts vemoswrd on a free loopback port and waits until it listens; `env` adds to its
  // environment.
  void Start(QStringList args, const std::map<QString, QString>& extra = {}) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEMOSWRD_INI", "/nonexistent/vemoswrd.ini");  // no user configuration
    env.insert("STATE_DIRECTORY", data_.path());              // the histories, unless --data-dir
    for (const auto& [key, value] : extra) env.insert(key, value);
    process_.setProcessEnvironment(env);
    if (lowFileLimit_)
      process_.setChildProcessModifier([] {
        const rlimit limit{256, 2048};
        setrlimit(RLIMIT_NOFILE, &limit);
      });
    process_.start(Bin("vemoswrd"), args << "--listen"
                                         << "127.0.0.1:0");
    ASSERT_TRUE(process_.waitForStarted(5000));
    const QRegularExpression listening("listening on 127.0.0.1:(\\d+)");
    ASSERT_TRUE(WaitUntil(
        [&] {
          Read();
          const QRegularExpressionMatch m = listening.match(QString::fromUtf8(log_));
          if (m.hasMatch()) port_ = static_cast<quint16>(m.captured(1).toUInt());
          return port_ != 0;
        },
        5000))
        << log_.toStdString();
  }
  quint16 Port() const { return port_; }
  QByteArray Metrics() { return Http(port_, "GET", "/metrics").body; }
  std::optional<double> Value(const char* name, const char* monitor) {
    return Sample(Metrics(), name, monitor);
  }
  const QByteArray& Log() {
    Read();
    return log_;
  }
  QProcess& Process() { return process_; }
  // Starts with a soft limit of 256 file handles under a hard limit of 2048.
  void LowFileLimit() { lowFileLimit_ = true; }
  QJsonObject Monitor(const QByteArray& name) {
    return QJsonDocument::fromJson(Http(port_, "GET", "/api/v1/monitors/" + name).body).object();
  }

 private:
  void Read() {
    process_.waitForReadyRead(10);
    log_ += process_.readAllStandardError();
  }
  QTemporaryDir data_;
  QProcess process_;
  QByteArray log_;
  quint16 port_ = 0;
  bool lowFileLimit_ = false;
};

// The service manager's end of the notification socket, as systemd opens it. Read at
// once, as systemd reads it: a full queue would hold up the service.
class NotifySocket {
 public:
  explicit NotifySocket(const QString& path) : path_(path.toStdString()) {
    sockaddr_un a{AF_UNIX, {}};
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path_.c_str());
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    reader_ = std::thread([this] {
      char buffer[4096];
      for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;) {
        std::lock_guard lock(mutex_);
        received_.emplace_back(buffer, n);
      }
    });
  }
  ~NotifySocket() {
    ::shutdown(fd_, SHUT_RDWR);
    reader_.join();
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  // How many messages received so far hold text.
  int Count(const std::string& text) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(received_.begin(), received_.end(), [&](const auto& m) {
      return m.find(text) != std::string::npos;
    }));
  }

 private:
  std::string path_;
  int fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread reader_;
};

bool Up(Service& s, const char* monitor) {
  return s.Value("vemoswr_up", monitor) == 1.0;
}

// Forward 100 W, reflected 4 W: a reflection coefficient of 0.2, VSWR 1.5.
std::vector<std::string> SimArgs(const QString& link, double forward = 100) {
  return {"--link",    link.toStdString(),      "--noise",     "0", "--full-scale", "250",
          "--forward", std::to_string(forward), "--reflected", "4"};
}

class ServiceTest : public ::testing::Test {
 protected:
  QString Link(const char* name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
};

TEST_F(ServiceTest, ADevicePathIsOpenedAsGivenAndNothingIsLeftInTheTemporaryFolder) {
  SimProcess a;
  a.Start(SimArgs(Link("a")));
  // Port 1 is mapped elsewhere: a monitor given by its path never goes through the map.
  const QString ini = dir_.filePath("VemoSWR.ini");
  QFile map(ini);
  ASSERT_TRUE(map.open(QIODevice::WriteOnly));
  map.write("[Ports]\nCOM1=/nonexistent/ttyUSB9\n");
  map.close();
  QTemporaryDir tmp;
  Service service;
  service.Start({"--monitor", "a=" + Link("a"), "--interval", "200"},
                {{"TMPDIR", tmp.path()}, {"VEMOSWR_INI", ini}});
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "a"); }, 8000)) << service.Log().toStdString();
  EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
  // Unplugged and plugged in again: reopened at its path.
  a.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return service.Value("vemoswr_up", "a") == 0.0; }, 5000));
  a.Plug();
  EXPECT_TRUE(WaitUntil([&] { return Up(service, "a"); }, 8000)) << service.Log().toStdString();
  ::kill(static_cast<pid_t>(service.Process().processId()), SIGTERM);
  EXPECT_TRUE(service.Process().waitForFinished(5000));
  EXPECT_TRUE(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(ServiceTest, AMonitorThatGoesAwayComesBackWithoutDisturbingTheOthers) {
  SimProcess a, b, c;
  a.Start(SimArgs(Link("a")));
  b.Start(SimArgs(Link("b")));
  c.Start(SimArgs(Link("c")));
  Service service;
  service.Start({"--monitor", "a=" + Link("a"), "--monitor", "b=" + Link("b"), "--monitor",
                 "c=" + Link("c"), "--interval", "200"});
  ASSERT_TRUE(
      WaitUntil([&] { return Up(service, "a") && Up(service, "b") && Up(service, "c"); }, 8000))
      << service.Metrics().toStdString() << service.Log().toStdString();

  b.Kill();
  ASSERT_TRUE(WaitUntil([&] { return service.Value("vemoswr_up", "b") == 0.0; }, 5000));
  const QByteArray down = service.Metrics();
  // No reading of b outlives it; its up gauge, info, program alarms (the link alarm is
  // the one that matters now), counters and the time of its latest reading stay in sight.
  const QStringList kinds = {"timeout", "protocol", "port"};
  for (const char* reading :
       {"vemoswr_forward_watts", "vemoswr_reflected_watts", "vemoswr_vswr",
        "vemoswr_return_loss_db", "vemoswr_alarm", "vemoswr_full_scale_watts"})
    EXPECT_FALSE(down.contains(QByteArray(reading) + "{monitor=\"b\"}")) << reading;
  for (const char* kept :
       {"vemoswr_info{monitor=\"b\"", "vemoswr_program_alarm{monitor=\"b\",source=\"link\"}",
        "vemoswr_last_reading_timestamp_seconds{monitor=\"b\"}",
        "vemoswr_readings_total{monitor=\"b\"}",
        "vemoswr_implausible_readings_total{monitor=\"b\"}"})
    EXPECT_TRUE(down.contains(kept)) << kept << "\n" << down.toStdString();
  double bErrors = 0;
  for (const QString& kind : kinds)
    bErrors += Sample(down, "vemoswr_reading_errors_total", "b\",kind=\"" + kind).value_or(0);
  EXPECT_GE(bErrors, 1);
  const double aBefore = *Sample(down, "vemoswr_readings_total", "a");
  QThread::msleep(1000);
  const QByteArray later = service.Metrics();
  for (const char* m : {"a", "c"}) {
    EXPECT_EQ(Sample(later, "vemoswr_up", m), 1.0) << m;
    EXPECT_NEAR(*Sample(later, "vemoswr_forward_watts", m), 100, 1) << m;
  }
  EXPECT_GE(*Sample(later, "vemoswr_readings_total", "a") - aBefore, 3);
  for (const char* m : {"a", "c"})
    EXPECT_EQ(Sample(later, "vemoswr_reading_errors_total", QString(m) + "\",kind=\"port"), 0.0)
        << m << " saw a port error";

  EXPECT_NE(service.Monitor("b")["last_error"].toString(), "");
  b.Start(SimArgs(Link("b"), 60));
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "b"); }, 12000)) << service.Log().toStdString();
  EXPECT_NEAR(*service.Value("vemoswr_forward_watts", "b"), 60, 1);
  EXPECT_EQ(service.Monitor("b")["last_error"].toString(), "") << "an old error shown as current";

  const QString promtool = QStandardPaths::findExecutable("promtool");
  if (promtool.isEmpty()) GTEST_SKIP() << "promtool not installed";
  for (const QByteArray& exposition : {down, service.Metrics()}) {
    QProcess check;
    check.start(promtool, {"check", "metrics"});
    check.write(exposition);
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString() << exposition.toStdString();
  }
}

// A monitor that never answers makes each of its exchanges wait out its time limit; the
// monitor beside it, busy with slow replies, must still read every second.
TEST_F(ServiceTest, ASilentMonitorDoesNotHoldUpOneThatAnswers) {
  SimProcess good, silent;
  std::vector<std::string> slow = SimArgs(Link("good"));
  slow.insert(slow.end(), {"--delay-ms", "100"});
  good.Start(slow);
  silent.Start({"--link", Link("silent").toStdString(), "--silent"});
  Service service;
  service.Start({"--monitor", "good=" + Link("good"), "--monitor", "silent=" + Link("silent"),
                 "--interval", "250"});
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "good"); }, 8000));
  // Long enough for the silent monitor's identification to run out its 4 s limit.
  QThread::msleep(6000);
  const QJsonArray points =
      QJsonDocument::fromJson(
          Http(service.Port(), "GET", "/api/v1/monitors/good/history?since=-5000&step=1000").body)
          .object()["points"]
          .toArray();
  ASSERT_EQ(points.size(), 5);
  for (const QJsonValue& p : points)
    EXPECT_GT(p["count"].toInt(), 0) << "no reading of the good monitor in a second";
  EXPECT_EQ(service.Value("vemoswr_up", "silent"), 0.0);
  EXPECT_GT(*service.Value("vemoswr_readings_total", "good"), 15);
}

// Implausible readings are counted and flagged with their raw values, never published as
// measurements: the last good reading stays, ageing, and the log names each run once.
TEST_F(ServiceTest, ImplausibleReadingsAreFlaggedCountedAndNotPublished) {
  SimProcess sim;
  sim.Start({"--link", Link("tx").toStdString(), "--noise", "0", "--full-scale",
             std::to_string(kReadingRepliesFullScale)});
  Service service;
  service.Start({"--monitor", "tx=" + Link("tx"), "--interval", "100"});
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "tx"); }, 8000)) << service.Log().toStdString();
  const auto monitor = [&] {
    return QJsonDocument::fromJson(Http(service.Port(), "GET", "/api/v1/monitors/tx").body)
        .object();
  };
  double goodForward = -1;
  for (const ReadingReply& row : ReadingReplies()) {
    sim.SetReadingReply(row.reply);
    // Two readings on: the one under way when the reply changed may be the old one.
    const double readings = monitor()["readings_total"].toDouble();
    ASSERT_TRUE(
        WaitUntil([&] { return monitor()["readings_total"].toDouble() >= readings + 2; }, 5000))
        << row.what;
    const QJsonObject m = monitor();
    EXPECT_EQ(m["implausible"].toBool(), !row.plausible) << row.what;
    const QJsonObject reading = m["reading"].toObject();
    if (row.plausible) {
      goodForward = reading["forward_watts"].toDouble();
      EXPECT_NEAR(*service.Value("vemoswr_forward_watts", "tx"), goodForward, 1e-3) << row.what;
      continue;
    }
    EXPECT_EQ(reading["forward_watts"].toDouble(), goodForward) << row.what;
    EXPECT_GE(reading["age_ms"].toDouble(), 100) << row.what;
    EXPECT_FALSE(m["implausible_reading"].toObject()["reason"].toString().isEmpty()) << row.what;
    EXPECT_EQ(*service.Value("vemoswr_forward_watts", "tx"), goodForward) << row.what;
  }
  EXPECT_EQ(monitor()["implausible_reading"].toObject()["reflected_watts"].toDouble(), 12);
  const double total = monitor()["implausible_total"].toDouble();
  EXPECT_GE(total, 12);  // six rows, at least two readings each
  EXPECT_GE(*service.Value("vemoswr_implausible_readings_total", "tx"), total);
  sim.SetReadingReply("");
  ASSERT_TRUE(WaitUntil([&] { return !monitor()["implausible"].toBool(); }, 5000));
  const QString log = QString::fromUtf8(service.Log());
  EXPECT_EQ(log.count("implausible reading ("), 1) << log.toStdString();
  EXPECT_EQ(log.count("plausible readings again"), 1) << log.toStdString();
}

// A monitor behind a rig: its readings carry the rig's frequency and band, and an alarm
// unkeys the rig and holds it until acknowledged, in the API, the metrics and the log.
TEST_F(ServiceTest, ARigGivesFrequencyAndBandAndItsInterlockShowsUntilAcknowledged) {
  RigctldProcess rigctld;
  rigctld.Start();
  rigctld.Rigctl({"F", "14074000"});
  rigctld.Rigctl({"T", "1"});
  SimProcess sim;
  sim.Start(SimArgs(Link("tx")));  // VSWR 1.5
  QFile token(dir_.filePath("token"));
  ASSERT_TRUE(token.open(QIODevice::WriteOnly));
  token.write("correct-horse\n");
  token.close();
  QFile config(dir_.filePath("vemoswrd.ini"));
  ASSERT_TRUE(config.open(QIODevice::WriteOnly));
  config.write(("[Monitor tx]\nDevice=" + Link("tx") + "\nInterval=100\n[Alarms tx]\n" +
                "VSWRAbove=1.2\n[Rig tx]\nModel=2\nHost=" +
                QString::fromStdString(rigctld.Address()) + "\nInterval=100\nInterlock=vswr\n")
                   .toUtf8());
  config.close();
  Service service;
  service.Start({"--config", config.fileName(), "--token-file", token.fileName()});
  ASSERT_TRUE(
      WaitUntil([&] { return service.Value("vemoswr_interlock_latched", "tx") == 1.0; }, 8000))
      << service.Log().toStdString();
  EXPECT_FALSE(rigctld.Ptt());
  EXPECT_EQ(service.Value("vemoswr_frequency_hertz", "tx"), 14074000);
  QJsonObject tx = service.Monitor("tx");
  EXPECT_EQ(tx["reading"].toObject()["frequency_hz"].toDouble(), 14074000);
  EXPECT_EQ(tx["reading"].toObject()["band"].toString(), "20m");
  EXPECT_EQ(tx["rig"].toObject()["interlock"].toString(), "latched");
  EXPECT_TRUE(service.Log().contains("interlock event=tripped reason=\"vswr\""));

  EXPECT_EQ(Http(service.Port(), "POST", "/api/v1/monitors/tx/acknowledge",
                 "Authorization: Bearer correct-horse\r\n")
                .status,
            200);
  EXPECT_EQ(service.Monitor("tx")["rig"].toObject()["interlock"].toString(), "armed");
  EXPECT_EQ(service.Value("vemoswr_interlock_latched", "tx"), 0.0);
}

// Started as systemd starts it (notification socket, watchdog, a low soft limit of file
// handles), with a short token that everyone may read and a device that is not there.
TEST_F(ServiceTest, ControlNeedsTheTokenBadRequestsAreRefusedSigtermStopsAndTheHistoryStays) {
  SimProcess sim;
  sim.Start(SimArgs(Link("tx")));
  QFile token(dir_.filePath("token"));
  ASSERT_TRUE(token.open(QIODevice::WriteOnly));
  token.write("correct-horse\n");
  token.close();
  token.setPermissions(token.permissions() | QFileDevice::ReadOther);
  NotifySocket notify(dir_.filePath("notify"));
  Service service;
  QElapsedTimer sinceStart;
  sinceStart.start();
  service.LowFileLimit();
  service.Start({"--monitor", "tx=" + Link("tx"), "--monitor", "gone=/nonexistent/ttyVEMO",
                 "--token-file", token.fileName(), "--data-dir", dir_.path()},
                {{"NOTIFY_SOCKET", dir_.filePath("notify")}, {"WATCHDOG_USEC", "400000"}});
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "tx"); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return notify.Count("READY=1") == 1; }, 2000));
  EXPECT_TRUE(WaitUntil([&] { return notify.Count("WATCHDOG=1") >= 2; }, 2000));
  const QString log = QString::fromUtf8(service.Log());
  EXPECT_TRUE(log.contains("file handles: 2048, room for ")) << log.toStdString();
  EXPECT_TRUE(log.contains("has only 13 characters")) << log.toStdString();
  EXPECT_TRUE(log.contains("chmod o-rwx")) << log.toStdString();
  const QString gone = service.Monitor("gone")["last_error"].toString();
  EXPECT_TRUE(gone.contains("Cannot open /nonexistent/ttyVEMO: the device does not exist"))
      << gone.toStdString();
  EXPECT_FALSE(log.contains("ie_")) << log.toStdString();

  const QByteArray reset = "/api/v1/monitors/tx/reset-alarm";
  EXPECT_EQ(Http(service.Port(), "POST", reset).status, 401);
  EXPECT_EQ(Http(service.Port(), "POST", reset, "Authorization: Bearer correct-hors\r\n").status,
            401);
  EXPECT_EQ(Http(service.Port(), "POST", "/api/v1/monitors/tx/acknowledge",
                 "Authorization: Bearer correct-horsey\r\n")
                .status,
            401);
  EXPECT_FALSE(sim.WaitForTranscript(
      [](const std::vector<TranscriptEntry>& t) {
        for (const TranscriptEntry& e : t)
          if (e.dir == "rx" && e.cmd == "A") return true;
        return false;
      },
      std::chrono::milliseconds(600)))
      << "a refused request reset the alarm";
  EXPECT_EQ(Http(service.Port(), "POST", reset, "Authorization: Bearer correct-horse\r\n").status,
            202);
  EXPECT_TRUE(sim.WaitForTranscript([](const std::vector<TranscriptEntry>& t) {
    for (const TranscriptEntry& e : t)
      if (e.dir == "rx" && e.cmd == "A") return true;
    return false;
  }));

  EXPECT_EQ(Http(service.Port(), "GET", "/nothing/here").status, 404);
  EXPECT_EQ(Http(service.Port(), "GET", "/api/v1/monitors/nobody").status, 404);
  EXPECT_EQ(Http(service.Port(), "GET", "/api/v1/monitors/tx/history?step=x").status, 400);
  const Response huge = Http(service.Port(), "POST", reset, {}, QByteArray(70 * 1024, 'x'));
  EXPECT_EQ(huge.status, 413);
  const Response hugeHeader =
      Http(service.Port(), "GET", "/metrics", "X-Pad: " + QByteArray(70 * 1024, 'y') + "\r\n");
  EXPECT_EQ(hugeHeader.status, 413);
  const double readings = *service.Value("vemoswr_readings_total", "tx");
  EXPECT_TRUE(
      WaitUntil([&] { return service.Value("vemoswr_readings_total", "tx") > readings + 1; }, 3000))
      << "polling stalled";

  const double before = *service.Value("vemoswr_readings_total", "tx");
  QElapsedTimer stop;
  stop.start();
  ::kill(static_cast<pid_t>(service.Process().processId()), SIGTERM);
  ASSERT_TRUE(service.Process().waitForFinished(2000))
      << "still running after 2 s: " << service.Log().toStdString();
  EXPECT_LT(stop.elapsed(), 2000);
  EXPECT_EQ(service.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service.Process().exitCode(), 0);
  EXPECT_TRUE(service.Log().contains("info stopped")) << service.Log().toStdString();
  EXPECT_EQ(notify.Count("STOPPING=1"), 1);

  // Started again, the service answers for the readings of the first run before it has
  // taken one of its own (it waits a second before the first).
  // The latest of the reports in the folder is served; there is no weekly one yet.
  ASSERT_TRUE(QDir(dir_.path()).mkpath("reports"));
  for (const QByteArray day : {"2026-01-02", "2026-01-01"}) {
    QFile report(dir_.filePath("reports/tx-" + day + ".html"));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write("<p>" + day);
  }
  Service again;
  again.Start({"--monitor", "tx=" + Link("tx"), "--data-dir", dir_.path()});
  const Response report = Http(again.Port(), "GET", "/api/v1/monitors/tx/report");
  EXPECT_EQ(report.status, 200);
  EXPECT_EQ(report.body, "<p>2026-01-02");
  EXPECT_TRUE(report.headers.contains("text/html")) << report.headers.toStdString();
  const Response week = Http(again.Port(), "GET", "/api/v1/monitors/tx/report?period=week");
  EXPECT_EQ(week.status, 404);
  EXPECT_TRUE(week.body.contains("\"error\":\"No weekly report yet")) << week.body.toStdString();
  const QJsonArray points =
      QJsonDocument::fromJson(Http(again.Port(), "GET",
                                   "/api/v1/monitors/tx/history?since=-" +
                                       QByteArray::number(sinceStart.elapsed() + 1000) +
                                       "&step=1000")
                                  .body)
          .object()["points"]
          .toArray();
  double stored = 0;
  for (const QJsonValue& p : points) stored += p["count"].toDouble();
  EXPECT_GE(stored, before);
}

// A real Prometheus scrapes the service, and every panel of the Grafana dashboard asks it
// its question: each gets an answer, and the alarm panel shows the program's VSWR alarm
// while the monitor's own flag is clear.
TEST_F(ServiceTest, PrometheusScrapesTheMonitorsVswrAndEveryDashboardPanelFindsItsData) {
  const QString prometheus = QStandardPaths::findExecutable("prometheus");
  if (prometheus.isEmpty()) GTEST_SKIP() << "prometheus not installed";
  SimProcess sim;
  sim.Start(SimArgs(Link("tx")));
  QFile ini(dir_.filePath("vemoswrd.ini"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[Alarms]\nVSWRAbove=1.2\n");
  ini.close();
  Service service;
  service.Start({"--config", ini.fileName(), "--monitor", "tx=" + Link("tx")});
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "tx"); }, 5000));
  const double vswr = *service.Value("vemoswr_vswr", "tx");
  EXPECT_NEAR(vswr, 1.5, 0.02);
  EXPECT_EQ(service.Value("vemoswr_alarm", "tx"), 0.0);

  const QString config = dir_.filePath("prometheus.yml");
  QFile f(config);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: vemoswr\n"
      "    static_configs:\n      - targets: ['127.0.0.1:" +
      QByteArray::number(service.Port()) + "']\n");
  f.close();
  const quint16 port = FreePort();
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(prometheus, {"--config.file=" + config, "--storage.tsdb.path=" + dir_.filePath("tsdb"),
                       "--web.listen-address=127.0.0.1:" + QString::number(port)});
  ASSERT_TRUE(p.waitForStarted(5000));
  // The series of a query's answer, by monitor; empty while there is none.
  const auto query = [&](const QString& expr) {
    const Response r = Http(port, "GET", "/api/v1/query?query=" + QUrl::toPercentEncoding(expr));
    std::map<QString, double> values;
    for (const QJsonValue& v : QJsonDocument::fromJson(r.body)["data"]["result"].toArray())
      values[v["metric"]["monitor"].toString()] = v["value"][1].toString().toDouble();
    return values;
  };
  std::optional<double> scraped;
  WaitUntil(
      [&] {
        const auto values = query("vemoswr_vswr{monitor=\"tx\"}");
        if (values.count("tx")) scraped = values.at("tx");
        return scraped.has_value();
      },
      20000);
  ASSERT_TRUE(scraped.has_value()) << p.readAll().toStdString();
  EXPECT_NEAR(*scraped, vswr, 1e-6);

  QFile dashboard(QStringLiteral(VEMO_SOURCE_DIR "/packaging/grafana-dashboard.json"));
  ASSERT_TRUE(dashboard.open(QIODevice::ReadOnly));
  std::map<QString, QString> panels;  // title: query, as Grafana sends it for all monitors
  for (const QJsonValue& panel : QJsonDocument::fromJson(dashboard.readAll())["panels"].toArray())
    for (const QJsonValue& target : panel["targets"].toArray())
      panels[panel["title"].toString() + " " + target["refId"].toString()] =
          target["expr"].toString().replace("$monitor", ".*");
  ASSERT_GE(panels.size(), 8u);
  for (const auto& [title, expr] : panels) {
    std::map<QString, double> values;
    EXPECT_TRUE(WaitUntil(
        [&] {
          values = query(expr);
          return values.count("tx") > 0;
        },
        10000))
        << title.toStdString() << ": " << expr.toStdString();
    if (title.startsWith("Alarms")) {
      EXPECT_EQ(values["tx"], 1.0) << "the program's alarm does not show: " << expr.toStdString();
    }
  }
  p.terminate();
  p.waitForFinished(5000);
}

// A page in headless Chromium, driven through its DevTools protocol.
class Browser {
 public:
  ~Browser() {
    socket_.close();
    process_.kill();
    process_.waitForFinished(5000);
  }
  // Opens url; false when the browser or its page cannot be reached.
  bool Open(const QString& chromium, const QString& profile, const QString& url) {
    // Its scratch folders go with the profile: a browser that is killed leaves them behind.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QDir().mkpath(profile);
    env.insert("TMPDIR", profile);
    process_.setProcessEnvironment(env);
    process_.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                              "--user-data-dir=" + profile, "--window-size=900,700",
                              "--remote-debugging-port=0", "--remote-allow-origins=*", url});
    quint16 port = 0;
    QByteArray err;
    const QRegularExpression listening("DevTools listening on ws://127.0.0.1:(\\d+)/");
    if (!WaitUntil(
            [&] {
              process_.waitForReadyRead(50);
              err += process_.readAllStandardError();
              const QRegularExpressionMatch m = listening.match(QString::fromUtf8(err));
              if (m.hasMatch()) port = static_cast<quint16>(m.captured(1).toUInt());
              return port != 0;
            },
            20000))
      return false;
    QString ws;
    WaitUntil(
        [&] {
          for (const QJsonValue& t :
               QJsonDocument::fromJson(Http(port, "GET", "/json/list").body).array())
            if (t["type"].toString() == "page") ws = t["webSocketDebuggerUrl"].toString();
          return !ws.isEmpty();
        },
        10000);
    if (ws.isEmpty()) return false;
    QEventLoop loop;
    QObject::connect(&socket_, &QWebSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_,
                     [this](const QString& m) { replies_.push_back(m.toUtf8()); });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    socket_.open(QUrl(ws));
    loop.exec();
    return socket_.state() == QAbstractSocket::ConnectedState;
  }
  // The result of a DevTools command, or an empty object after 10 s.
  QJsonObject Call(const QString& method, const QJsonObject& params = {}) {
    const int id = ++lastId_;
    socket_.sendTextMessage(
        QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
            .toJson(QJsonDocument::Compact));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
      for (const QByteArray& r : replies_) {
        const QJsonObject o = QJsonDocument::fromJson(r).object();
        if (o["id"].toInt() == id) return o["result"].toObject();
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return {};
  }
  QString Text(const QString& selector) {
    return Call("Runtime.evaluate", {{"expression", "(document.querySelector('" + selector +
                                                        "') || {textContent: ''}).textContent"},
                                     {"returnByValue", true}})["result"]
        .toObject()["value"]
        .toString();
  }

 private:
  QProcess process_;
  QWebSocket socket_;
  std::vector<QByteArray> replies_;
  int lastId_ = 0;
};

// More monitors than a browser opens connections to one host (six), all followed live;
// a card whose reading grows old turns stale even while the stream says nothing else.
TEST_F(ServiceTest, ThePageFollowsEveryMonitorLiveAndGreysStaleCards) {
  const QString chromium = QStandardPaths::findExecutable("chromium");
  if (chromium.isEmpty()) GTEST_SKIP() << "chromium not installed";
  std::vector<std::unique_ptr<SimProcess>> others;
  QStringList args;
  for (int i = 1; i <= 7; ++i) {
    const QString name = "m" + QString::number(i);
    others.push_back(std::make_unique<SimProcess>());
    others.back()->Start(SimArgs(Link(qPrintable(name)), 10 * i));
    args << "--monitor" << name + "=" + Link(qPrintable(name));
  }
  SimProcess sim;
  sim.Start(SimArgs(Link("tx"), 100));
  Service service;
  service.Start(args << "--monitor"
                     << "tx=" + Link("tx") << "--interval"
                     << "300");
  ASSERT_TRUE(WaitUntil([&] { return Up(service, "tx") && Up(service, "m1"); }, 8000));
  Browser browser;
  ASSERT_TRUE(browser.Open(chromium, dir_.filePath("chromium"),
                           "http://127.0.0.1:" + QString::number(service.Port()) + "/"));

  const QString forward = "[data-monitor=tx] [data-field=forward]";
  const auto shows = [&](const QString& selector, const QString& pattern) {
    return WaitUntil(
        [&] { return QRegularExpression(pattern).match(browser.Text(selector)).hasMatch(); },
        10000);
  };
  EXPECT_TRUE(shows(forward, "^(99\\.\\d|100) W$")) << browser.Text(forward).toStdString();
  sim.SetForward(40);
  EXPECT_TRUE(shows(forward, "^(39|40)\\.\\d W$")) << browser.Text(forward).toStdString();
  for (int i = 1; i <= 7; ++i)
    EXPECT_TRUE(shows(QString("[data-monitor=m%1] [data-field=forward]").arg(i), " W$")) << i;
  EXPECT_TRUE(shows("[data-monitor=tx] .age", "^\\d s ago$"))
      << browser.Text("[data-monitor=tx] .age").toStdString();

  // A service that hangs sends nothing more; the page must not go on showing "up".
  const auto stale = [&] { return browser.Text("[data-monitor=tx] .state") == "stale"; };
  const auto pid = static_cast<pid_t>(service.Process().processId());
  ::kill(pid, SIGSTOP);
  EXPECT_TRUE(WaitUntil(stale, 8000)) << browser.Text("[data-monitor=tx] .state").toStdString();
  ::kill(pid, SIGCONT);
  EXPECT_TRUE(WaitUntil([&] { return browser.Text("[data-monitor=tx] .state") == "up"; }, 8000));

  const QString artifacts = qEnvironmentVariable(
      "VEMO_ARTIFACT_DIR", QCoreApplication::applicationDirPath() + "/../artifacts");
  QDir().mkpath(artifacts);
  const auto screenshot = [&](const QString& name) {
    QFile shot(artifacts + "/" + name);
    ASSERT_TRUE(shot.open(QIODevice::WriteOnly));
    shot.write(QByteArray::fromBase64(
        browser.Call("Page.captureScreenshot")["data"].toString().toLatin1()));
  };
  screenshot("vemoswrd-page.png");

  // A monitor that stops answering, then a service that goes away: the page says so.
  sim.Kill();
  EXPECT_TRUE(WaitUntil([&] { return browser.Text("[data-monitor=tx] .state") == "DOWN"; }, 5000));
  EXPECT_EQ(browser.Text(forward).toStdString(), "—");
  screenshot("vemoswrd-page-down.png");
  service.Process().terminate();
  EXPECT_TRUE(WaitUntil([&] { return browser.Text("#conn").contains("lost"); }, 5000))
      << browser.Text("#conn").toStdString();
}

}  // namespace
}  // namespace vemo::test
