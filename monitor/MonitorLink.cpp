// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/MonitorLink.h"

#include "serial/SerialErrors.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vemo {

const char* LinkFailureName(LinkFailure kind) {
  switch (kind) {
    case LinkFailure::Timeout:
      return "timeout";
    case LinkFailure::DeviceLost:
      return "device lost";
    case LinkFailure::PortBusy:
      return "port busy";
    case LinkFailure::Permission:
      return "permission";
    case LinkFailure::NoDevice:
      return "no device";
    case LinkFailure::NotSerial:
      return "not serial";
    case LinkFailure::Port:
      return "port";
    case LinkFailure::Protocol:
      return "protocol";
  }
  return "protocol";
}

LinkFailure ClassifyFailure(const std::exception& e, bool deviceLost, const std::string& path) {
  // An unplugged device shows as whatever the next call ran into (a write error, a
  // time-out): the lost device is the cause the user can act on.
  if (deviceLost) return LinkFailure::DeviceLost;
  if (dynamic_cast<const EReplyTimeout*>(&e)) return LinkFailure::Timeout;
  if (dynamic_cast<const EAlreadyOpen*>(&e)) return LinkFailure::PortBusy;
  if (dynamic_cast<const EPermissionDenied*>(&e)) return LinkFailure::Permission;
  if (dynamic_cast<const EBadId*>(&e)) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec) ? LinkFailure::NotSerial
                                                              : LinkFailure::NoDevice;
  }
  if (dynamic_cast<const ESerialException*>(&e)) return LinkFailure::Port;
  // The system refused what the port needs (a descriptor, an event): not the monitor's fault.
  if (dynamic_cast<const std::system_error*>(&e)) return LinkFailure::Port;
  return LinkFailure::Protocol;
}

MonitorLink::MonitorLink(LinkTiming timing)
    : timing_(timing), monitor_(port_, buffer_, *timing_.ReplyClock) {
  port_.SetPromptForPort(false);
  port_.SetOnTriggerAvail([this](TCustomComPort& cp, uint16_t count) { Receive(cp, count); });
}

MonitorLink::~MonitorLink() {
  port_.SetOnTriggerAvail({});
  Close();
}

void MonitorLink::SetDevice(int portNumber, std::string devicePath) {
  port_.SetComNumber(static_cast<uint16_t>(std::clamp(portNumber, 0, 0xFFFF)));
  port_.SetDevicePath(std::move(devicePath));
}

void MonitorLink::Open() {
  if (port_.Open() && port_.DeviceLost()) port_.SetOpen(false);
  port_.SetBaud(9600);
  port_.SetDataBits(8);
  port_.SetStopBits(1);
  port_.SetParity(pNone);
  port_.SetSWFlowOptions(swfNone);
  port_.SetHWFlowOptions(0);
  port_.SetOpen(true);
}

void MonitorLink::Settle() {
  QEventLoop loop;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(timing_.Settle);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool MonitorLink::Connect() {
  Open();
  Settle();
  return monitor_.Identify();
}

TMonitorReading MonitorLink::Read() {
  TMonitorReading reading;
  monitor_.GetReading(reading);
  if (reading.RawMode) {
    monitor_.SetRawMode(false);
    monitor_.GetReading(reading);
  }
  return reading;
}

void MonitorLink::Close() noexcept {
  try {
    if (port_.Open()) port_.SetOpen(false);
  } catch (const std::exception&) {
    // A port whose device has gone is closed all the same.
  }
}

void MonitorLink::Receive(TCustomComPort& cp, uint16_t count) {
  try {
    while (count > 0) {
      const auto n = static_cast<uint16_t>(std::min<size_t>(count, staging_.size()));
      cp.ReadBlock(staging_.data(), n);
      for (uint16_t i = 0; i < n; ++i) {
        // A full buffer means nobody has been reading: what it holds is stale noise, and
        // no reply is that long. Start again from the newest bytes, which may be the
        // start of the reply an exchange is about to wait for.
        if (buffer_.Count() >= TBuffer::Capacity) buffer_.Clear();
        buffer_.Put(staging_[i]);
      }
      count = static_cast<uint16_t>(count - n);
    }
  } catch (const EBufferIsEmpty&) {
    // Announced bytes that were gone by the time they were asked for.
    ++bufferEmptyCount_;
  }
}

}  // namespace vemo
