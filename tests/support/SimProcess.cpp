// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace vemo::test {

namespace {

constexpr int kStartTimeoutMs = 5000;

std::string Latin1(const QJsonValue& value) {
  // The transcript writes every byte as the code point of the same value.
  return value.toString().toLatin1().toStdString();
}

}  // namespace

SimProcess::SimProcess() : dir_(std::make_unique<QTemporaryDir>()) {}

SimProcess::~SimProcess() {
  if (Running()) Stop();
}

std::string SimProcess::Executable() {
  const char* binDir = std::getenv("VEMO_BIN_DIR");
  if (binDir != nullptr && *binDir != '\0') return std::string(binDir) + "/vemoswr-sim";
  return QDir(QCoreApplication::applicationDirPath() + "/../bin")
      .absoluteFilePath("vemoswr-sim")
      .toStdString();
}

std::string SimProcess::Start(const std::vector<std::string>& args) {
  if (Running()) throw std::runtime_error("the simulated monitor is already running");
  QStringList arguments;
  bool hasTranscript = false;
  for (size_t i = 0; i < args.size(); ++i) {
    arguments << QString::fromStdString(args[i]);
    if (args[i] == "--transcript" && i + 1 < args.size()) transcriptPath_ = args[i + 1];
    if (args[i].rfind("--transcript=", 0) == 0) transcriptPath_ = args[i].substr(13);
    hasTranscript = hasTranscript || args[i].rfind("--transcript", 0) == 0;
  }
  if (!hasTranscript) {
    transcriptPath_ = dir_->filePath("transcript.jsonl").toStdString();
    arguments << "--transcript" << QString::fromStdString(transcriptPath_);
  }

  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_->start(QString::fromStdString(Executable()), arguments);
  if (!process_->waitForStarted(kStartTimeoutMs))
    throw std::runtime_error("cannot start " + Executable() + ": " +
                             process_->errorString().toStdString());
  QElapsedTimer timer;
  timer.start();
  while (!process_->canReadLine()) {
    if (process_->state() == QProcess::NotRunning || timer.elapsed() > kStartTimeoutMs)
      throw std::runtime_error("the simulated monitor did not report its device");
    process_->waitForReadyRead(100);
  }
  devicePath_ = process_->readLine().trimmed().toStdString();
  return devicePath_;
}

std::vector<TranscriptEntry> SimProcess::Transcript() const {
  std::vector<TranscriptEntry> entries;
  QFile file(QString::fromStdString(transcriptPath_));
  if (!file.open(QIODevice::ReadOnly)) return entries;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine();
    if (!line.endsWith('\n')) break;  // still being written
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    TranscriptEntry entry;
    entry.tMs = object.value("t_ms").toInteger();
    entry.dir = object.value("dir").toString().toStdString();
    entry.cmd = Latin1(object.value("cmd"));
    entry.text = Latin1(object.value("text"));
    entry.hex = object.value("hex").toString().toStdString();
    entry.note = object.value("note").toString().toStdString();
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> SimProcess::ReceivedCommands() const {
  std::vector<std::string> commands;
  for (const TranscriptEntry& entry : Transcript())
    if (entry.dir == "rx" && entry.note != "unknown" && entry.note != "incomplete")
      commands.push_back(entry.text);
  return commands;
}

bool SimProcess::WaitForTranscript(
    const std::function<bool(const std::vector<TranscriptEntry>&)>& done,
    std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done(Transcript())) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void SimProcess::Control(const std::string& line) {
  if (!Running()) throw std::runtime_error("the simulated monitor is not running");
  process_->write(QByteArray::fromStdString(line + "\n"));
  process_->waitForBytesWritten(1000);
  const QByteArray expected = QByteArray::fromStdString("ok " + line);
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < kStartTimeoutMs) {
    while (process_->canReadLine()) {
      const QByteArray answer = process_->readLine().trimmed();
      if (answer == expected) return;
      if (answer.startsWith("error ")) throw std::runtime_error("simulator refused: " + line);
    }
    if (process_->state() == QProcess::NotRunning) break;
    process_->waitForReadyRead(100);
  }
  throw std::runtime_error("the simulated monitor did not confirm: " + line);
}

void SimProcess::SetForward(double watts) {
  Control("forward " + std::to_string(watts));
}
void SimProcess::SetReflected(double watts) {
  Control("reflected " + std::to_string(watts));
}
void SimProcess::SetFullScale(double watts) {
  Control("full-scale " + std::to_string(watts));
}
void SimProcess::PowerCycle() {
  Control("power-cycle");
}
void SimProcess::HangUp() {
  Control("hangup");
}

void SimProcess::Plug() {
  Control("plug");
}

void SimProcess::Burst(int bytes) {
  Control("burst " + std::to_string(bytes));
}

void SimProcess::SetReadingReply(const std::string& bytes) {
  Control(bytes.empty()
              ? "reading-reply"
              : "reading-reply " + QByteArray::fromStdString(bytes).toHex().toStdString());
}

int SimProcess::Stop() {
  if (!process_ || process_->state() == QProcess::NotRunning) return -1;
  process_->terminate();
  if (!process_->waitForFinished(3000)) {
    process_->kill();
    process_->waitForFinished(3000);
    return -1;
  }
  return process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
}

void SimProcess::Kill() {
  if (!process_ || process_->state() == QProcess::NotRunning) return;
  process_->kill();
  process_->waitForFinished(3000);
}

bool SimProcess::Running() const {
  return process_ && process_->state() != QProcess::NotRunning;
}

}  // namespace vemo::test
