#include "station/UnattendedLink.h"

#include "platform/Escaped.h"
#include "serial/SerialErrors.h"

#include <algorithm>

namespace vemo {

qint64 RetryBackoff::Next() {
  const qint64 wait = nextMs_;
  nextMs_ = std::min(nextMs_ * 2, longestMs_);
  return wait;
}

std::string LinkFailureText(int comNumber, const std::string& device, bool deviceExists,
                            std::exception_ptr failure) {
  const std::string port = "COM" + std::to_string(comNumber) + " (" + device + "): ";
  if (!deviceExists) return port + "no such device – plug the monitor in or choose another port";
  try {
    std::rethrow_exception(failure);
  } catch (const EAlreadyOpen& e) {
    return port + "in use by another program" +
           (e.Detail().empty() ? "" : " (" + e.Detail() + ")") +
           " – close it or choose another port";
  } catch (const EPermissionDenied& e) {
    return port + e.what();  // its own text says how to get access
  } catch (const ESerialException& e) {
    return port + "the port failed (" + Escaped(e.message()) +
           ") – check the adapter and its cable";
  } catch (const std::exception& e) {
    // A garbled reply may be quoted in the failure: it stays one printable line.
    return port + "the monitor does not answer (" + Escaped(e.what()) +
           ") – check that it is switched on and connected to this port";
  } catch (...) {
  }
  return port + "the monitor cannot be reached – check the monitor and its cable";
}

}  // namespace vemo
