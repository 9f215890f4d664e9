// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/FailureText.h"

#include "platform/Escaped.h"
#include "serial/SerialErrors.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace vemo::service {

namespace {

// The component's texts start with an internal name ("ie_Open - device already open"):
// keep the words after it.
std::string WithoutCodeName(std::string text) {
  if (text.starts_with("ie_")) {
    const size_t dash = text.find(" - ");
    if (dash != std::string::npos) text.erase(0, dash + 3);
  }
  return text;
}

}  // namespace

std::string FailureText(const std::exception& e, const std::string& device) {
  const bool number = !device.empty() && std::all_of(device.begin(), device.end(), ::isdigit);
  const std::string name = number ? "COM" + device : device;
  const auto* io = dynamic_cast<const EInOutError*>(&e);
  const auto* system = dynamic_cast<const std::system_error*>(&e);
  if ((io && io->errorCode() == -ecTooManyOpenFiles) ||
      (system && (system->code() == std::errc::too_many_files_open ||
                  system->code() == std::errc::too_many_files_open_in_system)))
    return "cannot open " + name +
           ": the service is out of file handles; raise LimitNOFILE (or ulimit -n) or poll "
           "fewer monitors";
  if (dynamic_cast<const EBadId*>(&e))
    return name +
           " does not exist or is no serial device: check that the monitor is plugged "
           "in and the Device setting";
  if (const auto* held = dynamic_cast<const EAlreadyOpen*>(&e))
    return "another program is using " + name +
           (held->Detail().empty() ? "" : " (" + Escaped(held->Detail()) + ")") +
           ": close it or give this monitor another device";
  if (dynamic_cast<const EPermissionDenied*>(&e)) return Escaped(e.what());
  if (dynamic_cast<const ECommNotOpen*>(&e))
    return name + " has gone away (unplugged or switched off?)";
  if (const auto* serial = dynamic_cast<const ESerialException*>(&e))
    return "serial error " + std::to_string(-serial->ErrorCode()) + " on " + name + ": " +
           Escaped(WithoutCodeName(e.what()));
  return Escaped(e.what());
}

}  // namespace vemo::service
