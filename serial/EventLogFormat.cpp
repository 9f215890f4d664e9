// SPDX-License-Identifier: GPL-3.0-or-later
// The event log's text file.
#include <sys/utsname.h>

#include <cstdio>

#include "serial/EventLog.h"
#include "serial/SerialErrors.h"
#include "serial/StringTable.h"
#include "serial/TextFile.h"

namespace vemo {
namespace {

constexpr int kTypeNames = 15001;     // + type
constexpr int kSubtypeNames = 15100;  // + subtype
constexpr int kColumnTitles = 15501;
constexpr int kColumnRule = 15502;
constexpr int kModemBitNames = 15601;  // + bit 0..7
constexpr int kOptionNames = 15700;    // + terminal protocol option
constexpr std::uint32_t kLastOption = 42;

// Extra bytes start in column 45, after the 44 characters of the entry's fields; a line
// is ended before a byte would reach column 79.
constexpr int kExtraColumn = 45;
constexpr int kExtraLimit = 79;

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string CompilerName() {
#if defined(__clang__)
  return "Clang " + std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) + "." +
         std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
  return "GCC " + std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
         std::to_string(__GNUC_PATCHLEVEL__);
#else
  return "C++ compiler";
#endif
}

std::string OperatingSystemName() {
  utsname names{};
  if (uname(&names) != 0) return "Unknown";
  std::string text = std::string(names.sysname) + " " + names.release + " " + names.version;
  return text.substr(0, 80);
}

// Milliseconds as seconds with three decimals, at least four digits before the point:
// 1234 ms reads 0001.234.
std::string FormatTime(std::uint32_t ms) {
  char text[16];
  std::snprintf(text, sizeof text, "%04u.%03u", ms / 1000, ms % 1000);
  return text;
}

const char* StatusTriggerKind(std::uint8_t kind) {
  static const char* const kKinds[] = {"(Not active)",         "(Modem status)",
                                       "(Line status)",        "(Output buffer free)",
                                       "(Output buffer used)", "(Output sent)"};
  return kind < std::size(kKinds) ? kKinds[kind] : "(Unknown)";
}

std::string FormatEntry(const LogEntry& entry, const LogOptions& options,
                        const StringTable& names) {
  const auto type = static_cast<int>(entry.type);
  const auto subtype = static_cast<int>(entry.subtype);
  const std::string typeName = names.Find(kTypeNames + type);
  const std::string subtypeName =
      subtype == 0 ? std::string() : names.Find(kSubtypeNames + subtype);
  char fields[128];
  std::snprintf(fields, sizeof fields, "%8s  %-8s  %-12s  %08x  ", FormatTime(entry.timeMs).c_str(),
                typeName.c_str(), subtypeName.c_str(), static_cast<unsigned>(entry.data));
  std::string line = fields;

  if (entry.extra.empty()) {
    if (entry.type == LogType::Telnet) {
      const std::string option =
          entry.data <= kLastOption ? names.Find(kOptionNames + static_cast<int>(entry.data)) : "";
      line += "[" + Trimmed(option) + "]";
    }
  } else if (entry.subtype == LogSubtype::StatusTrigger &&
             (entry.type == LogType::TrigAllc || entry.type == LogType::TrigDisp)) {
    line += StatusTriggerKind(entry.extra.front());
  } else {
    // User entries with all-hex are text the program logged itself.
    const bool asText = options.allHex && entry.type == LogType::User;
    const ByteStyle style{options.hex, options.allHex};
    int column = kExtraColumn;
    std::string piece;
    for (const std::uint8_t b : entry.extra) {
      piece.clear();
      int width = 1;
      if (asText)
        piece.push_back(static_cast<char>(b));
      else
        width = AppendByte(piece, b, style);
      if (column + width >= kExtraLimit) {
        line += '\n';
        line.append(kExtraColumn - 1, ' ');
        column = kExtraColumn + width;
      } else {
        column += width;
      }
      line += piece;
    }
  }

  if (entry.subtype == LogSubtype::ModemStatus) {
    std::string bits;
    for (int bit = 0; bit < 8; ++bit)
      if (entry.data & (1u << bit)) bits += names.Find(kModemBitNames + bit);
    line += " (" + Trimmed(bits) + ")";
  }
  return line;
}

}  // namespace

int EventLog::WriteFile(const std::vector<LogEntry>& entries, const LogOptions& options,
                        bool append) {
  if (entries.empty()) return ecOK;
  const StringTable& names = StringTable::Resource(kSerialErrorStrings);
  TextFile file;
  if (const int result = file.Open(options.fileName, append); result != ecOK) return result;
  file.WriteLine("SERIAL v1.00");
  file.WriteLine("Compiler : " + CompilerName());
  file.WriteLine("Operating System : " + OperatingSystemName());
  file.WriteLine("Device: " + options.deviceName);
  file.WriteLine(names.At(kColumnTitles));
  file.WriteLine(names.At(kColumnRule));
  for (const LogEntry& entry : entries) file.WriteLine(FormatEntry(entry, options, names));
  return file.Close();
}

}  // namespace vemo
