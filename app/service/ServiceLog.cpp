#include "app/service/ServiceLog.h"

#include <cstdio>

namespace vemo::service {

void LogLine(const char* level, const std::string& text) {
  std::string line = std::string(level) + " " + text;
  // One event, one line, whatever a device or client put into the text.
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  line += '\n';
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace vemo::service
