// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which serial ports this machine has and which of them another program holds, for the
// port selection dialog. Probing opens each device exclusively and non-blocking and
// closes it at once, without touching its line settings; a port another program holds
// is reported as in use rather than disturbed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

enum class TPortPresence { Absent, Free, InUse };

// Probes one device path.
TPortPresence ProbePort(const std::string& path);

// What tells one device node from another at the same path (links followed): a node that
// went away and came back (an adapter plugged in again, a new pty behind the same link)
// differs from the one before, and so does one whose owner or mode changed since.
struct TDeviceNode {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t rdev = 0;
  int64_t changedNs = 0;
  bool operator==(const TDeviceNode&) const = default;
};

// The node at path, nullopt when there is none. Opens nothing: cheap enough to poll.
std::optional<TDeviceNode> DeviceNodeAt(const std::string& path);

// The port numbers 1..maxPort whose device is present (free or in use), ascending: what
// the selection dialog offers as "COM%d". Only those devices are probed.
std::vector<int> PresentPortNumbers(int maxPort = 50);

}  // namespace vemo
