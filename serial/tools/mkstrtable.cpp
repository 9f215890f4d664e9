// SPDX-License-Identifier: GPL-3.0-or-later
// Build tool: turns readable message lists into the binary string tables that the serial
// layer embeds, and writes them as byte arrays into one C++ source file.
//
//   mkstrtable <output.cpp> <NAME>=<list.txt> [<NAME>=<list.txt> ...]
//
// A list holds one message per line: a non-negative code, white space and the text in
// double quotes (\" and \\ escape a quote and a backslash; the text is UTF-8). Blank lines
// and lines starting with '#' are skipped. Codes must be unique.
//
// Table layout (32-bit little-endian): "STR0", count, entries sorted by code (code, byte
// offset of the text, length in UTF-16 units), then the UTF-16LE texts.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct ListError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      throw ListError("invalid UTF-8");
    }
    if (i + extra >= s.size()) throw ListError("truncated UTF-8");
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) throw ListError("invalid UTF-8");
      cp = (cp << 6) | (d & 0x3F);
    }
    i += extra + 1;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) throw ListError("invalid code point");
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string ParseQuoted(const std::string& line, std::size_t pos) {
  if (pos >= line.size() || line[pos] != '"') throw ListError("text must be in double quotes");
  std::string text;
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      if (line.find_first_not_of(" \t\r", pos + 1) != std::string::npos)
        throw ListError("characters after the closing quote");
      return text;
    }
    if (c == '\\') {
      if (++pos >= line.size() || (line[pos] != '"' && line[pos] != '\\'))
        throw ListError("unknown escape");
    }
    text.push_back(line[pos]);
  }
  throw ListError("missing closing quote");
}

std::map<std::uint32_t, std::u16string> ReadList(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::map<std::uint32_t, std::u16string> entries;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    try {
      const auto first = line.find_first_not_of(" \t\r");
      if (first == std::string::npos || line[first] == '#') continue;
      std::size_t end = first;
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
      if (end == first || end - first > 9) throw ListError("expected a code");
      const auto code = static_cast<std::uint32_t>(std::stoul(line.substr(first, end - first)));
      const auto textStart = line.find_first_not_of(" \t", end);
      if (textStart == end) throw ListError("expected white space after the code");
      if (!entries.emplace(code, Utf8ToUtf16(ParseQuoted(line, textStart))).second)
        throw ListError("duplicate code " + std::to_string(code));
    } catch (const ListError& e) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": " + e.what());
    }
  }
  return entries;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> BuildTable(const std::map<std::uint32_t, std::u16string>& entries) {
  std::vector<std::uint8_t> out{'S', 'T', 'R', '0'};
  Put32(out, static_cast<std::uint32_t>(entries.size()));
  auto offset = static_cast<std::uint32_t>(8 + 12 * entries.size());
  for (const auto& [code, text] : entries) {  // std::map keeps the codes ascending
    Put32(out, code);
    Put32(out, offset);
    Put32(out, static_cast<std::uint32_t>(text.size()));
    offset += static_cast<std::uint32_t>(2 * text.size());
  }
  for (const auto& entry : entries) {
    for (char16_t u : entry.second) {
      out.push_back(static_cast<std::uint8_t>(u & 0xFF));
      out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: mkstrtable <output.cpp> <NAME>=<list.txt>...\n");
    return 2;
  }
  try {
    std::ostringstream src;
    src << "// Generated by mkstrtable from the message lists in serial/messages; do not edit.\n"
           "#include \"serial/EmbeddedStrings.h\"\n\n"
           "namespace vemo::detail {\nnamespace {\n";
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i) {
      const std::string arg = argv[i];
      const auto eq = arg.find('=');
      if (eq == std::string::npos || eq == 0) throw std::runtime_error("bad argument " + arg);
      names.push_back(arg.substr(0, eq));
      const auto table = BuildTable(ReadList(arg.substr(eq + 1)));
      src << "alignas(4) const std::uint8_t kTable" << i - 2 << "[] = {";
      for (std::size_t k = 0; k < table.size(); ++k)
        src << (k % 16 == 0 ? "\n   " : "") << ' ' << static_cast<unsigned>(table[k]) << ',';
      src << "\n};\n";
    }
    src << "}  // namespace\n\nconst EmbeddedStringBlob kEmbeddedStringBlobs[] = {\n";
    for (std::size_t i = 0; i < names.size(); ++i)
      src << "    {\"" << names[i] << "\", kTable" << i << ", sizeof kTable" << i << "},\n";
    src << "};\nconst std::size_t kEmbeddedStringBlobCount = " << names.size()
        << ";\n\n}  // namespace vemo::detail\n";

    // Write only when the content changed, so dependants are not rebuilt needlessly.
    const std::string output = argv[1];
    std::ifstream old(output, std::ios::binary);
    std::stringstream previous;
    previous << old.rdbuf();
    if (!old || previous.str() != src.str()) {
      std::ofstream out(output, std::ios::binary | std::ios::trunc);
      out << src.str();
      if (!out) throw std::runtime_error("cannot write " + output);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkstrtable: %s\n", e.what());
    return 1;
  }
  return 0;
}
