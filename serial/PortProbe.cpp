// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortProbe.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/PortNames.h"
#include "serial/NativeDispatcher.h"
#include "serial/SerialErrors.h"

namespace vemo {

TPortPresence ProbePort(const std::string& path) {
  // A dispatcher of no component, entered in the process-wide list like any other.
  TTermiosDispatcher probe(nullptr);
  int rc = probe.ProbeDevice(path);
  if (rc == 0) return TPortPresence::Free;
  // Held by another program, or there but not ours to open: offered all the same, so
  // that choosing it explains why it cannot be opened.
  if (rc == ecAccessDenied || rc == ecPermissionDenied) return TPortPresence::InUse;
  return TPortPresence::Absent;
}

std::optional<TDeviceNode> DeviceNodeAt(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return TDeviceNode{uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_rdev),
                     int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

std::vector<int> PresentPortNumbers(int maxPort) {
  std::vector<int> numbers;
  // Only numbered devices are probed: opening an unnumbered one may have effects of its
  // own (an rfcomm node calls its Bluetooth peer).
  for (const SerialDeviceInfo& device : ListSerialDevices())
    if (device.portNumber >= 1 && device.portNumber <= maxPort &&
        ProbePort(device.path) != TPortPresence::Absent)
      numbers.push_back(device.portNumber);
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

}  // namespace vemo
