// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliPorts.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/PortNames.h"

namespace vemo::cli {

int ListPorts(std::FILE* out) {
  struct Line {
    std::string name, path, use, summary;
  };
  std::vector<Line> lines;
  size_t nameWidth = 0, pathWidth = 0, useWidth = 0;
  for (const SerialDeviceInfo& device : ListSerialDevices()) {
    Line line{device.portNumber > 0 ? "COM" + std::to_string(device.portNumber) : "-", device.path,
              PortUseText(UseOfPort(device.path)), DeviceSummary(device)};
    nameWidth = std::max(nameWidth, line.name.size());
    pathWidth = std::max(pathWidth, line.path.size());
    useWidth = std::max(useWidth, line.use.size());
    lines.push_back(std::move(line));
  }
  if (lines.empty()) std::fputs("no serial ports found\n", out);
  for (const Line& l : lines)
    std::fprintf(out, "%-*s  %-*s  %-*s  %s\n", static_cast<int>(nameWidth), l.name.c_str(),
                 static_cast<int>(pathWidth), l.path.c_str(), static_cast<int>(useWidth),
                 l.use.c_str(), l.summary.c_str());
  return 0;
}

}  // namespace vemo::cli
