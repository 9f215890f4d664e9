#pragma once
// What vemoswr-cli tells the user when a command fails: what happened, on which device,
// on one line.

#include "platform/Escaped.h"

#include <exception>
#include <string>

namespace vemo::cli {

// The device as the user named it: the path, or "COM3 (/dev/ttyUSB0)" for a port number.
std::string DeviceName(int portNumber, const std::string& path, bool byNumber);

// Opening the device at path (named `name`) failed with e.
std::string OpenFailureMessage(const std::exception& e, const std::string& name,
                               const std::string& path);

// A command on the open device named `name` failed with e; deviceLost: the device has
// gone away meanwhile.
std::string RunFailureMessage(const std::exception& e, const std::string& name, bool deviceLost);

}  // namespace vemo::cli
