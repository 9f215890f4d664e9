// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/service/mqtt/MqttTestKit.h"

#include <mosquitto.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vemo::test {
namespace {

constexpr int kStartTimeoutMs = 5000;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  if (fd >= 0) ::close(fd);
  if (!bound) throw std::runtime_error("no free loopback port for the broker");
  return ntohs(address.sin_port);
}

bool Accepting(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected =
      fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return connected;
}

void WriteFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
    throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace

MqttTestBroker::MqttTestBroker()
    : dir_(std::make_unique<QTemporaryDir>()), port_(FreeLoopbackPort()) {}

MqttTestBroker::~MqttTestBroker() {
  Stop();
}

void MqttTestBroker::Start(const std::string& user, const std::string& password) {
  // Run as whoever runs the test: as root the broker would switch to its own user, which
  // cannot read our temporary files.
  const passwd* me = getpwuid(getuid());
  QByteArray config = "listener " + QByteArray::number(port_) + " 127.0.0.1\n" +
                      "persistence false\nlog_dest stderr\nlog_type error\n";
  if (me) config += "user " + QByteArray(me->pw_name) + "\n";
  if (user.empty()) {
    config += "allow_anonymous true\n";
  } else {
    const QString passwords = dir_->filePath("passwords");
    WriteFile(passwords, {});
    if (QProcess::execute("mosquitto_passwd", {"-b", passwords, QString::fromStdString(user),
                                               QString::fromStdString(password)}) != 0)
      throw std::runtime_error("mosquitto_passwd failed");
    config += "allow_anonymous false\npassword_file " + passwords.toUtf8() + "\n";
  }
  const QString configPath = dir_->filePath("mosquitto.conf");
  WriteFile(configPath, config);

  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // A test killed on its time limit must not leave a broker behind.
  process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process_->start(VEMO_MOSQUITTO, {"-c", configPath});
  if (!process_->waitForStarted(kStartTimeoutMs))
    throw std::runtime_error("mosquitto does not start: " + process_->errorString().toStdString());
  const bool accepting = QTest::qWaitFor([this] { return Accepting(port_); }, kStartTimeoutMs);
  if (!accepting) throw std::runtime_error("mosquitto does not accept connections");
}

void MqttTestBroker::Stop() {
  if (!process_ || process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (!process_->waitForFinished(kStartTimeoutMs)) process_->kill();
  process_->waitForFinished();
}

MqttTestSubscriber::MqttTestSubscriber(int port, const std::string& user,
                                       const std::string& password) {
  mosquitto_lib_init();
  client_ = mosquitto_new(nullptr, true, this);
  if (!client_) throw std::runtime_error("mosquitto_new failed");
  if (!user.empty()) mosquitto_username_pw_set(client_, user.c_str(), password.c_str());
  mosquitto_connect_callback_set(client_, &OnConnect);
  mosquitto_subscribe_callback_set(client_, &OnSubscribe);
  mosquitto_message_callback_set(client_, &OnMessage);
  mosquitto_reconnect_delay_set(client_, 1, 1, false);
  mosquitto_connect_async(client_, "127.0.0.1", port, 10);
  mosquitto_loop_start(client_);
}

MqttTestSubscriber::~MqttTestSubscriber() {
  mosquitto_disconnect(client_);
  mosquitto_loop_stop(client_, true);
  mosquitto_destroy(client_);
}

void MqttTestSubscriber::OnConnect(mosquitto* client, void* self, int result) {
  if (result != 0) return;
  auto* me = static_cast<MqttTestSubscriber*>(self);
  std::lock_guard lock(me->mutex_);
  for (const std::string& filter : me->filters_) {
    int mid = 0;
    mosquitto_subscribe(client, &mid, filter.c_str(), 1);
  }
}

void MqttTestSubscriber::OnSubscribe(mosquitto*, void* self, int mid, int, const int*) {
  auto* me = static_cast<MqttTestSubscriber*>(self);
  std::lock_guard lock(me->mutex_);
  me->acknowledged_.push_back(mid);
}

void MqttTestSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* me = static_cast<MqttTestSubscriber*>(self);
  std::lock_guard lock(me->mutex_);
  me->received_.push_back(
      {QByteArray(message->topic),
       QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
       message->retain});
}

bool MqttTestSubscriber::PublishRetained(const QByteArray& topic, const QByteArray& payload) {
  return Subscribe(topic.toStdString()) &&
         mosquitto_publish(client_, nullptr, topic.constData(), int(payload.size()),
                           payload.constData(), 1, true) == 0 &&
         WaitFor(topic, payload);
}

bool MqttTestSubscriber::Subscribe(const std::string& filter) {
  {
    std::lock_guard lock(mutex_);
    filters_.push_back(filter);
  }
  // Until connected the subscription waits for OnConnect; after, it goes out now.
  int mid = -1;
  const bool sent = QTest::qWaitFor(
      [&] { return mosquitto_subscribe(client_, &mid, filter.c_str(), 1) == 0; }, kStartTimeoutMs);
  return sent && QTest::qWaitFor(
                     [&] {
                       std::lock_guard lock(mutex_);
                       return std::find(acknowledged_.begin(), acknowledged_.end(), mid) !=
                              acknowledged_.end();
                     },
                     kStartTimeoutMs);
}

std::optional<TReceived> MqttTestSubscriber::WaitFor(const QByteArray& topic,
                                                     const QByteArray& payload, int timeoutMs) {
  std::optional<TReceived> found;
  (void)QTest::qWaitFor(
      [&] {
        std::lock_guard lock(mutex_);
        for (const TReceived& message : received_) {
          if (message.Topic == topic && (payload.isNull() || message.Payload == payload)) {
            found = message;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

std::vector<TReceived> MqttTestSubscriber::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void MqttTestSubscriber::Clear() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

}  // namespace vemo::test
