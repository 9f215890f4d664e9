// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/PollingController.h"

#include "platform/Escaped.h"
#include "station/LinkMessages.h"

namespace vemo {

namespace {
// While the device stays present but cannot be reached, it is tried again this often.
constexpr int kWatchTicksPerRetry = 10;
}  // namespace

void PollingController::Connect() {
  connectionNote_.clear();
  try {
    link_.Open();
    link_.Settle();
    commFailCount_ = 0;
    connected_ = link_.Monitor().Identify();
  } catch (...) {
    connected_ = false;
    view_.ShowConnection();
    throw;
  }
  view_.ShowConnection();
}

void PollingController::EnsureConnected() {
  if (!connected_ || link_.DeviceLost()) Connect();
}

void PollingController::ReadAndShow() {
  view_.ShowReading(link_.Read());
}

void PollingController::TakeReading() {
  try {
    EnsureConnected();
    view_.ShowLineActive(true);
    ReadAndShow();
    view_.ShowLineActive(false);
  } catch (...) {
    view_.ShowLineActive(false);
    view_.ShowStale();
    view_.RecordGap();
    throw;
  }
}

void PollingController::StartContinuous() {
  // An unrecognised monitor does not stop the start; the readings will tell.
  try {
    EnsureConnected();
  } catch (...) {
    if (RetryInsteadOfFailure(std::current_exception())) return;
    throw;
  }
  continuous_ = true;
  view_.ShowContinuous(true);
}

void PollingController::StopContinuous() {
  continuous_ = false;
  view_.ShowContinuous(false);
  view_.ShowLineActive(false);
}

void PollingController::Tick() {
  if (continuous_)
    ContinuousReading();
  else if (resumeDue_)
    ResumeWithReturnedDevice();
  else if (retryDue_)
    RetryUnattended();
  else if (connected_ && link_.DeviceLost())
    WatchForLostDevice(false);  // unplugged while idle: say so rather than look connected
}

void PollingController::ContinuousReading() {
  view_.ShowLineActive(true);
  try {
    ReadAndShow();
    commFailCount_ = 0;
    view_.ShowLineActive(false);
  } catch (const std::exception& e) {
    view_.ShowStale();
    view_.RecordGap();
    const LinkFailure kind = link_.Classify(e);
    if (kind == LinkFailure::DeviceLost) {
      StopContinuous();
      WatchForLostDevice(true);  // said in the status area; a box would hold up the resumption
    } else if (IsPortFailure(kind)) {
      StopContinuous();
      if (!RetryInsteadOfFailure(std::current_exception())) view_.ShowFailure(e.what());
    } else if (++commFailCount_ > kSilentFailures) {
      // A time-out or a garbled reply, which may quote what the line brought; on a line of
      // its own, the port and what to check.
      StopContinuous();
      if (!RetryInsteadOfFailure(std::current_exception()))
        view_.ShowFailure(Escaped(e.what()) + '\n' + LinkCause(std::current_exception()));
    }
  } catch (...) {
    view_.ShowStale();
    view_.RecordGap();
    StopContinuous();
    if (!RetryInsteadOfFailure(std::current_exception()))
      view_.ShowFailure("An Exception Occurred");
  }
}

std::optional<TDeviceNode> PollingController::NodeOfDevice() const {
  return DeviceNodeAt(link_.Port().EffectiveDevicePath());
}

void PollingController::WatchForLostDevice(bool resumePolling) {
  view_.ShowStale();
  resumePolling_ = resumePolling;
  // Let go of the node at once: an adapter plugged in again gets its old name only when
  // nobody holds the old one.
  link_.Close();
  connected_ = false;
  lostNode_ = NodeOfDevice();
  watchTicksSinceAttempt_ = 0;
  connectionNote_ = "device lost";
  view_.ShowConnection();
  watching_ = true;
  view_.RunDeviceWatch(true);
}

void PollingController::StopWatchingForDevice() {
  watching_ = false;
  resumeDue_ = false;
  view_.RunDeviceWatch(false);
}

void PollingController::DeviceWatchTick() {
  if (connected_ || continuous_) {
    StopWatchingForDevice();  // the user has reconnected meanwhile
    return;
  }
  const std::optional<TDeviceNode> node = NodeOfDevice();
  ++watchTicksSinceAttempt_;
  if (!node || (node == lostNode_ && watchTicksSinceAttempt_ < kWatchTicksPerRetry)) {
    lostNode_ = node;
    return;
  }
  // A node has (re)appeared, or it is time to try the one that stayed.
  lostNode_ = node;
  watchTicksSinceAttempt_ = 0;
  watching_ = false;
  view_.RunDeviceWatch(false);
  resumeDue_ = true;
}

void PollingController::ResumeWithReturnedDevice() {
  resumeDue_ = false;
  if (connected_) return;  // a command has reconnected meanwhile
  try {
    Connect();
  } catch (const std::exception&) {
    connected_ = false;
  }
  if (!connected_) {
    // Not answering yet (still starting up, or not ours to open): keep watching.
    link_.Close();
    connectionNote_ = "device lost";
    view_.ShowConnection();
    watching_ = true;
    view_.RunDeviceWatch(true);
    return;
  }
  connectionNote_ = "reconnected";
  view_.ShowConnection();
  if (!resumePolling_) return;
  continuous_ = true;
  view_.ShowContinuous(true);
}

std::string PollingController::LinkCause(std::exception_ptr failure) const {
  const TComPort& port = link_.Port();
  const std::string path = port.EffectiveDevicePath();
  return LinkFailureText(LinkName(port.ComNumber(), path, port.DevicePath().empty()), path,
                         !port.Open(), DeviceNodeAt(path).has_value(), failure);
}

bool PollingController::RetryInsteadOfFailure(std::exception_ptr failure) {
  if (!unattended_) return false;
  const std::string cause = LinkCause(failure);  // while the port still says how it failed
  link_.Close();
  connected_ = false;
  const qint64 waitMs = retry_.Next();
  connectionNote_ = "waiting for the monitor";
  view_.ShowConnection();
  view_.ShowStale();
  view_.ShowRetry(cause, waitMs);
  // Polling is what was asked for: the buttons say so while the next attempt is awaited.
  view_.ShowContinuous(true);
  retryWaiting_ = true;
  view_.RunRetryTimer(waitMs);
  return true;
}

void PollingController::RetryTimeout() {
  retryWaiting_ = false;
  retryDue_ = unattended_;
}

void PollingController::RetryUnattended() {
  retryDue_ = false;
  try {
    Connect();
  } catch (...) {
    RetryInsteadOfFailure(std::current_exception());
    return;
  }
  // An unrecognised monitor does not stop the start, as at a start by hand: the readings
  // will tell, and their failures come back here.
  retry_.Reset();
  continuous_ = true;
  view_.ShowContinuous(true);
  view_.ShowRetrySucceeded();
}

void PollingController::EndUnattended() {
  if (Retrying()) view_.ShowContinuous(false);  // the buttons said polling while it waited
  unattended_ = false;
  retryWaiting_ = false;
  retryDue_ = false;
  view_.RunRetryTimer(0);
}

}  // namespace vemo
