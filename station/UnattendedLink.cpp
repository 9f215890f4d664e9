// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/UnattendedLink.h"

#include "station/LinkMessages.h"

#include <algorithm>

namespace vemo {

qint64 RetryBackoff::Next() {
  const qint64 wait = nextMs_;
  nextMs_ = std::min(nextMs_ * 2, longestMs_);
  return wait;
}

std::string LinkFailureText(const std::string& name, const std::string& path, bool opening,
                            bool deviceExists, std::exception_ptr failure) {
  if (!deviceExists) return LinkFailureMessage(LinkFailure::NoDevice, name);
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    std::string text = LinkFailureMessage(e, opening, false, name, path);
    // The monitor's own words (a garbled reply) do not say which port they came from.
    if (ClassifyFailure(e, false, path) == LinkFailure::Protocol) text = name + ": " + text;
    return text;
  } catch (...) {
  }
  return LinkFailureMessage(LinkFailure::Port, name);
}

}  // namespace vemo
