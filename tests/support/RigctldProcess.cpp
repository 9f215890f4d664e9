// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/RigctldProcess.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>
#include <stdexcept>

namespace vemo::test {

RigctldProcess::RigctldProcess() = default;

RigctldProcess::~RigctldProcess() {
  Stop();
}

void RigctldProcess::Start() {
  if (port_ == 0) {
    // A port the system just gave out and nobody holds now.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) throw std::runtime_error("no free port");
    port_ = probe.serverPort();
  }
  process_ = new QProcess;
  process_->start("rigctld",
                  {"-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", QString::number(port_)});
  if (!process_->waitForStarted(5000)) throw std::runtime_error("rigctld does not start");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
    if (socket.waitForConnected(200)) return;
    if (process_->state() == QProcess::NotRunning) break;
    process_->waitForFinished(20);
  }
  throw std::runtime_error("rigctld takes no connections on port " + std::to_string(port_));
}

void RigctldProcess::Stop() {
  if (!process_) return;
  process_->terminate();
  if (!process_->waitForFinished(5000)) {
    process_->kill();
    process_->waitForFinished(5000);
  }
  delete process_;
  process_ = nullptr;
}

std::string RigctldProcess::Address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string RigctldProcess::Rigctl(const std::vector<std::string>& args) const {
  QStringList list{"-m", "2", "-r", QString::fromStdString(Address())};
  for (const std::string& a : args) list << QString::fromStdString(a);
  QProcess rigctl;
  rigctl.start("rigctl", list);
  if (!rigctl.waitForFinished(10000) || rigctl.exitCode() != 0)
    throw std::runtime_error("rigctl failed: " + rigctl.readAllStandardError().toStdString());
  return rigctl.readAllStandardOutput().trimmed().toStdString();
}

}  // namespace vemo::test
