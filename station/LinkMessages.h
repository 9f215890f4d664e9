// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window, the command-line tool and the service tell the user when the line to a
// monitor fails: what happened, on which port and device, and what to try, in one line.

#include "monitor/MonitorLink.h"

#include <exception>
#include <string>

namespace vemo {

// "COM3 (/dev/ttyUSB0)" for a port given by its number, the path for one given by path.
std::string LinkName(int portNumber, const std::string& path, bool byNumber);

// The message for a failure of kind on the port called name (see LinkName). detail is
// what only the failure knows: the holding process, the advice on access, the serial
// layer's or the monitor's own text.
std::string LinkFailureMessage(LinkFailure kind, const std::string& name,
                               const std::string& detail = {});

// Both in one: the message for e, raised while opening (opening) or using the port called
// name, whose device is path; deviceLost: the port has noticed that its device went away.
std::string LinkFailureMessage(const std::exception& e, bool opening, bool deviceLost,
                               const std::string& name, const std::string& path);

}  // namespace vemo
