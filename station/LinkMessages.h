#pragma once
// What the window, the command-line tool and the service tell the user when the line to a
// monitor fails: what happened, on which port and device, and what to try, in one line.

#include <exception>
#include <string>

namespace vemo {

// The kinds of failure a user can act on differently.
enum class LinkFailure {
  NoDevice,      // the device does not exist (unplugged, a wrong path or mapping)
  NotSerial,     // the path is no serial device
  Busy,          // another program has the port
  NoPermission,  // the user may not open the device
  NoAnswer,      // the port is open but the monitor did not answer in time
  Gone,          // the device went away while in use
  PortError,     // another failure of the serial layer
  Protocol,      // the monitor answered, but not as expected
};

// "COM3 (/dev/ttyUSB0)" for a port given by its number, the path for one given by path.
std::string LinkName(int portNumber, const std::string& path, bool byNumber);

// The kind of e, raised while opening the device at path (opening) or while using it;
// deviceLost: the port has noticed that its device went away.
LinkFailure LinkFailureOf(const std::exception& e, bool opening, bool deviceLost,
                          const std::string& path);

// The message for a failure of kind on the port called name (see LinkName). detail is
// what only the failure knows: the holding process, the advice on access, the serial
// layer's or the monitor's own text.
std::string LinkFailureMessage(LinkFailure kind, const std::string& name,
                               const std::string& detail = {});

// Both in one: the message for e on the port called name, whose device is path.
std::string LinkFailureMessage(const std::exception& e, bool opening, bool deviceLost,
                               const std::string& name, const std::string& path);

}  // namespace vemo
