#include "app/cli/CliMessages.h"

#include "serial/SerialErrors.h"

#include <filesystem>
#include <system_error>

namespace vemo::cli {

namespace {

// The serial layer's own text, with its code, for failures without a plainer word.
std::string SerialDetail(const ESerialException& e) {
  return "(serial error " + std::to_string(-e.ErrorCode()) + ": " + Escaped(e.what()) + ")";
}

}  // namespace

std::string DeviceName(int portNumber, const std::string& path, bool byNumber) {
  return byNumber ? "COM" + std::to_string(portNumber) + " (" + path + ")" : path;
}

std::string OpenFailureMessage(const std::exception& e, const std::string& name,
                               const std::string& path) {
  const std::string head = "Cannot open " + name;
  if (dynamic_cast<const EBadId*>(&e)) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
      return head +
             ": it is not a serial device. Give the monitor's serial device with --device PATH.";
    return head +
           ": the device does not exist. Check that the monitor is plugged in and the path "
           "is right.";
  }
  if (const auto* held = dynamic_cast<const EAlreadyOpen*>(&e))
    return head + ": another program is using it" +
           (held->Detail().empty() ? "" : " (" + held->Detail() + ")") +
           ". Close that program or choose another port.";
  // Its own text says how to get access.
  if (dynamic_cast<const EPermissionDenied*>(&e)) return head + ". " + e.what() + ".";
  if (const auto* serial = dynamic_cast<const ESerialException*>(&e))
    return head + " " + SerialDetail(*serial) + ".";
  return head + ": " + Escaped(e.what());
}

std::string RunFailureMessage(const std::exception& e, const std::string& name, bool deviceLost) {
  if (deviceLost || dynamic_cast<const ECommNotOpen*>(&e))
    return name +
           " has gone away (unplugged or switched off?). Reconnect the monitor and run the "
           "command again.";
  if (const auto* serial = dynamic_cast<const ESerialException*>(&e))
    return "Input/output error on " + name + " " + SerialDetail(*serial) +
           ". Check the connection and run the command again.";
  return Escaped(e.what());
}

}  // namespace vemo::cli
