// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary settings files: read, change one key, write, read again. The change must read
// back, and every other byte of the file must survive: only the changed key's line may
// differ, or one line (and at most its section's header) be added.
//
// Input: selector byte (which key to write, and the value), then the file's bytes.

#include "platform/Exception.h"
#include "platform/ProfileFile.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

using namespace vemo;

namespace {

struct Entry {
  const char* section;
  const char* key;
};
// Keys of the program's own file, a name in another case, and a section no file has.
constexpr Entry kEntries[] = {{"Communication", "ComPort"}, {"Ports", "COM1"},  {"Meter", "Range"},
                              {"communication", "comport"}, {"Fuzz", "NewKey"}, {"Window", "New"}};

std::string path;

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "settings file: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Memory-backed where possible: every write is flushed to disk before its rename.
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  path = std::string(dir) + "/vemo-fuzz-profile-" + std::to_string(getpid()) + ".ini";
  std::atexit([] { std::remove(path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Entry& entry = kEntries[data[0] % std::size(kEntries)];
  const std::string value = "v" + std::to_string(data[0]);
  const std::string before(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << before;
  }

  ProfileFile profile(path);
  profile.ReadSectionValues(entry.section);
  profile.ReadInteger(entry.section, entry.key, 0);
  try {
    profile.WriteString(entry.section, entry.key, value);
  } catch (const Exception&) {
    Check(false, "writing a well-formed key failed");
  }

  const std::string after = Slurp(path);
  Check(ProfileFile(path).ReadString(entry.section, entry.key, "(missing)") == value,
        "the written value does not read back");

  // The old bytes between the common prefix and suffix are all that was replaced.
  size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
    ++prefix;
  size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  const std::string replaced = before.substr(prefix, before.size() - prefix - suffix);
  Check(replaced.find('\n') == std::string::npos, "more than one line was replaced");
  return 0;
}
