// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Interrupt.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <stdexcept>

namespace vemo::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_wakeFds[2] = {-1, -1};

extern "C" void OnInterruptSignal(int signal) {
  const auto byte = static_cast<char>(signal);
  // Only async-signal-safe calls here: one write to wake the event loop and say which.
  [[maybe_unused]] const ssize_t n = ::write(g_wakeFds[0], &byte, 1);
}

void Handle(int signal) {
  struct sigaction action = {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

Interrupt::Interrupt() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_wakeFds) != 0)
    throw std::runtime_error("cannot watch for interrupts");
  notifier_ = new QSocketNotifier(g_wakeFds[1], QSocketNotifier::Read, this);
  QObject::connect(notifier_, &QSocketNotifier::activated, this, &Interrupt::OnSignal);
  for (const int signal : kSignals) Handle(signal);
}

Interrupt::~Interrupt() {
  for (const int signal : kSignals) ::signal(signal, SIG_DFL);
  delete notifier_;
  ::close(g_wakeFds[0]);
  ::close(g_wakeFds[1]);
  g_wakeFds[0] = g_wakeFds[1] = -1;
}

void Interrupt::OnSignal() {
  char bytes[16];
  while (::read(g_wakeFds[1], bytes, sizeof bytes) > 0)
    if (signal_ == 0) signal_ = bytes[0];
  Q_EMIT Raised();
}

void Interrupt::Wait(std::chrono::milliseconds limit) {
  if (Requested() || limit.count() <= 0) return;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(this, &Interrupt::Raised, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(limit.count()));
  loop.exec();
}

}  // namespace vemo::cli
