// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the service's log and a monitor's "last_error" say when its link fails: what
// happened, to which device, and what to do; never the serial layer's internal code names.

#include <exception>
#include <string>

namespace vemo::service {

// device: as the user configured it, a port number ("3") or a path.
std::string FailureText(const std::exception& e, const std::string& device);

}  // namespace vemo::service
