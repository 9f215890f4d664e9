// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SignalStop.h"

#include "platform/Exception.h"

#include <QSocketNotifier>

#include <sys/signalfd.h>
#include <unistd.h>
#include <csignal>

namespace vemo {
namespace {

sigset_t SetOf(std::initializer_list<int> signals) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : signals) sigaddset(&set, s);
  return set;
}

}  // namespace

void SignalStop::BlockSignals(std::initializer_list<int> signals) {
  const sigset_t set = SetOf(signals);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalStop::SignalStop(std::initializer_list<int> signals, std::function<void(int)> onSignal,
                       QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  BlockSignals(signals);
  const sigset_t set = SetOf(signals);
  fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd_ < 0) throw Exception("Cannot watch for the stop signals.");
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    signalfd_siginfo info{};
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
      onSignal_(static_cast<int>(info.ssi_signo));
  });
}

SignalStop::~SignalStop() {
  delete notifier_;
  if (fd_ >= 0) close(fd_);
}

}  // namespace vemo
