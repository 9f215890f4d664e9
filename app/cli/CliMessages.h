// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What vemoswr-cli tells the user when a command fails: what happened, on which device,
// on one line (see station/LinkMessages.h, which the window and the service share).

#include "platform/Escaped.h"
#include "station/LinkMessages.h"

#include <exception>
#include <string>

namespace vemo::cli {

// The device as the user named it: the path, or "COM3 (/dev/ttyUSB0)" for a port number.
inline std::string DeviceName(int portNumber, const std::string& path, bool byNumber) {
  return LinkName(portNumber, path, byNumber);
}

// Opening the device at path (named `name`) failed with e.
inline std::string OpenFailureMessage(const std::exception& e, const std::string& name,
                                      const std::string& path) {
  return LinkFailureMessage(e, true, false, name, path);
}

// A command on the open device named `name` failed with e; deviceLost: the device has
// gone away meanwhile.
inline std::string RunFailureMessage(const std::exception& e, const std::string& name,
                                     bool deviceLost) {
  return LinkFailureMessage(e, false, deviceLost, name, {});
}

}  // namespace vemo::cli
