// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/LinkMessages.h"

#include "monitor/VSWRMon.h"
#include "platform/Escaped.h"
#include "serial/SerialErrors.h"

#include <system_error>

namespace vemo {

namespace {

// The line settings every monitor runs at, for a user checking the other end.
constexpr const char* kLineSettings = "9600 baud, 8 data bits, no parity, 1 stop bit";

// The serial layer's texts start with an internal name ("ie_Open - device already open"):
// the words after it are the user's.
std::string WithoutCodeName(std::string text) {
  if (text.starts_with("ie_")) {
    const size_t dash = text.find(" - ");
    if (dash != std::string::npos) text.erase(0, dash + 3);
  }
  return text;
}

bool OutOfFileHandles(const std::exception& e) {
  if (const auto* io = dynamic_cast<const EInOutError*>(&e))
    return io->errorCode() == -ecTooManyOpenFiles;  // EInOutError keeps the magnitude
  const auto* system = dynamic_cast<const std::system_error*>(&e);
  return system && (system->code() == std::errc::too_many_files_open ||
                    system->code() == std::errc::too_many_files_open_in_system);
}

}  // namespace

std::string LinkName(int portNumber, const std::string& path, bool byNumber) {
  return byNumber ? "COM" + std::to_string(portNumber) + " (" + path + ")" : path;
}

std::string LinkFailureMessage(LinkFailure kind, const std::string& name,
                               const std::string& detail) {
  const std::string inParentheses = detail.empty() ? "" : " (" + detail + ")";
  switch (kind) {
    case LinkFailure::NoDevice:
      return "Cannot open " + name +
             ": the device does not exist. Check that the monitor is plugged in and that the "
             "port or path is right.";
    case LinkFailure::NotSerial:
      return "Cannot open " + name +
             ": it is not a serial device. Choose the serial port the monitor is on.";
    case LinkFailure::PortBusy:
      return "Cannot open " + name + ": another program is using it" + inParentheses +
             ". Close that program or choose another port.";
    case LinkFailure::Permission:
      return "Cannot open " + name + ". " + detail + ".";
    case LinkFailure::Timeout:
      return "No answer from the monitor on " + name + " (" + kLineSettings +
             "). Check that it is switched on and cabled to this port, and that no other "
             "program is reading from the port.";
    case LinkFailure::DeviceLost:
      return name +
             " has gone away (unplugged or switched off?). Reconnect the monitor and "
             "try again.";
    case LinkFailure::Port:
      return "Input/output error on " + name + inParentheses +
             ". Check the connection and try again.";
    case LinkFailure::Protocol:
      break;
  }
  return detail;
}

std::string LinkFailureMessage(const std::exception& e, bool opening, bool deviceLost,
                               const std::string& name, const std::string& path) {
  // Many monitors on one service can use up its descriptors: say which limit to raise.
  if (OutOfFileHandles(e))
    return "Cannot open " + name +
           ": out of file handles. Raise the limit (LimitNOFILE= in the service's unit, ulimit "
           "-n in a shell) or poll fewer monitors.";
  LinkFailure kind = ClassifyFailure(e, deviceLost, path);
  // A port found closed while in use has lost its device.
  if (!opening && dynamic_cast<const ECommNotOpen*>(&e)) kind = LinkFailure::DeviceLost;
  std::string detail;
  if (const auto* serial = dynamic_cast<const ESerialException*>(&e)) {
    if (kind == LinkFailure::PortBusy) detail = serial->Detail();
    // Its own text says how to get access.
    else if (kind == LinkFailure::Permission)
      detail = e.what();
    else
      detail = "serial error " + std::to_string(-serial->ErrorCode()) + ": " +
               Escaped(WithoutCodeName(e.what()));
  } else {
    detail = Escaped(e.what());
  }
  if (opening && kind == LinkFailure::Port) return "Cannot open " + name + " (" + detail + ").";
  return LinkFailureMessage(kind, name, detail);
}

}  // namespace vemo
