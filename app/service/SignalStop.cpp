#include "app/service/SignalStop.h"

#include "platform/Exception.h"

#include <QSocketNotifier>

#include <sys/signalfd.h>
#include <unistd.h>
#include <csignal>

namespace vemo::service {

SignalStop::SignalStop(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd_ < 0) throw Exception("Cannot watch for SIGTERM and SIGINT.");
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

}  // namespace vemo::service
