#pragma once
// What vemoswr-cli tells the user when a command fails: what happened, on which device,
// on one line.

#include <exception>
#include <string>
#include <string_view>

namespace vemo::cli {

// Control bytes as escapes ("\r", "\n", "\t", "\x1B"): replies quoted in a message keep
// it on one line of a log.
std::string Escaped(std::string_view text);

// The device as the user named it: the path, or "COM3 (/dev/ttyUSB0)" for a port number.
std::string DeviceName(int portNumber, const std::string& path, bool byNumber);

// Opening the device at path (named `name`) failed with e.
std::string OpenFailureMessage(const std::exception& e, const std::string& name,
                               const std::string& path);

// A command on the open device named `name` failed with e; deviceLost: the device has
// gone away meanwhile.
std::string RunFailureMessage(const std::exception& e, const std::string& name, bool deviceLost);

}  // namespace vemo::cli
