// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/ComWindow.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QtGlobal>
#include <cerrno>
#include <system_error>

namespace vemo {

namespace {

const QEvent::Type kPostedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::mutex handlerMutex;
std::function<void(std::exception_ptr)> exceptionHandler;

}  // namespace

void TComWindow::SetExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  std::lock_guard lock(handlerMutex);
  exceptionHandler = std::move(handler);
}

TComWindow::TComWindow(Procedure procedure) : procedure_(std::move(procedure)) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    uint64_t count;
    while (::read(wakeFd_, &count, sizeof count) > 0) {
    }
    HandleSent();
  });
}

TComWindow::~TComWindow() {
  delete notifier_;
  ::close(wakeFd_);
}

bool TComWindow::Send(const TComMessage& m, std::chrono::milliseconds timeout,
                      const std::atomic<bool>& cancel) {
  if (QThread::currentThread() == thread()) {
    ++inSent_;
    RunProcedure(m);
    --inSent_;
    return true;
  }
  std::lock_guard serial(sendSerial_);
  {
    std::lock_guard lock(mutex_);
    sent_ = m;
    ++sendSeq_;
    pending_ = true;
    finished_ = false;
  }
  uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  while (!finished_) {
    if (cancel.load() || std::chrono::steady_clock::now() >= deadline) {
      pending_ = false;  // not yet taken: the wake-up event will find nothing
      return false;
    }
    answered_.wait_until(lock, deadline);
  }
  return true;
}

void TComWindow::Wake() {
  std::lock_guard lock(mutex_);
  answered_.notify_all();
}

void TComWindow::Post(const TComMessage& m) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(m);
  }
  QCoreApplication::postEvent(this, new QEvent(kPostedEvent));
}

void TComWindow::customEvent(QEvent* e) {
  if (e->type() == kPostedEvent) HandlePosted();
}

void TComWindow::HandleSent() {
  TComMessage m;
  uint64_t seq;
  {
    std::lock_guard lock(mutex_);
    if (!pending_) return;
    pending_ = false;
    seq = sendSeq_;
    m = sent_;
  }
  ++inSent_;
  RunProcedure(m);
  --inSent_;
  {
    // A procedure that outlived its send finishes unnoticed: a later send is waited for.
    std::lock_guard lock(mutex_);
    if (seq == sendSeq_) finished_ = true;
  }
  // Notified outside the lock, so the woken sender does not run into it.
  answered_.notify_all();
}

void TComWindow::HandlePosted() {
  TComMessage m;
  {
    std::lock_guard lock(mutex_);
    if (posted_.empty()) return;
    m = posted_.front();
    posted_.pop_front();
  }
  RunProcedure(m);
}

void TComWindow::Detach() {
  procedure_ = nullptr;
  std::lock_guard lock(mutex_);
  posted_.clear();
}

void TComWindow::RunProcedure(const TComMessage& m) {
  // A copy: the procedure may detach this window while it runs.
  Procedure procedure = procedure_;
  if (!procedure) return;
  try {
    procedure(m);
  } catch (...) {
    ReportException(std::current_exception());
  }
}

void TComWindow::ReportException(std::exception_ptr e) {
  std::function<void(std::exception_ptr)> handler;
  {
    std::lock_guard lock(handlerMutex);
    handler = exceptionHandler;
  }
  if (handler) {
    handler(e);
    return;
  }
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    qWarning("Exception in a serial port event handler: %s", ex.what());
  } catch (...) {
    qWarning("Unknown exception in a serial port event handler");
  }
}

}  // namespace vemo
