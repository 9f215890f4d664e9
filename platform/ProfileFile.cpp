// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

namespace vemo {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// One line of the file as it is interpreted; the raw bytes stay in the content string.
struct Line {
  size_t begin = 0;  // offset of the first byte
  size_t end = 0;    // offset just past the text, before any CR LF / LF
  size_t next = 0;   // offset of the following line
  enum Kind { Other, Section, Key } kind = Other;
  std::string name;    // section or key name, trimmed
  size_t valueAt = 0;  // Key: offset just past "="
};

std::vector<Line> SplitLines(const std::string& content) {
  std::vector<Line> lines;
  size_t pos = 0;
  // A UTF-8 byte order mark belongs to no name.
  size_t skip = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < content.size()) {
    Line line;
    line.begin = pos;
    size_t nl = content.find('\n', pos);
    line.next = nl == std::string::npos ? content.size() : nl + 1;
    line.end = nl == std::string::npos ? content.size() : nl;
    if (line.end > line.begin && content[line.end - 1] == '\r') --line.end;
    size_t textBegin = line.begin == 0 ? skip : line.begin;
    std::string text = Trim(content.substr(textBegin, line.end - textBegin));
    if (!text.empty() && text[0] == '[') {
      line.kind = Line::Section;
      size_t close = text.find(']');
      line.name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (!text.empty() && text[0] != ';' && text[0] != '#') {
      size_t eq = content.find('=', textBegin);
      if (eq != std::string::npos && eq < line.end) {
        line.kind = Line::Key;
        line.name = Trim(content.substr(textBegin, eq - textBegin));
        line.valueAt = eq + 1;
      }
    }
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// Index range [first, last) of the lines inside the first section named section;
// first = npos when there is none. first is the header's index.
void FindSection(const std::vector<Line>& lines, const std::string& section, size_t& first,
                 size_t& last) {
  first = std::string::npos;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::Section) continue;
    if (first != std::string::npos) {
      last = i;
      return;
    }
    if (SameName(lines[i].name, section)) first = i;
  }
  last = lines.size();
}

const Line* FindKey(const std::vector<Line>& lines, const std::string& section,
                    const std::string& key) {
  size_t first, last;
  FindSection(lines, section, first, last);
  if (first == std::string::npos) return nullptr;
  for (size_t i = first + 1; i < last; ++i)
    if (lines[i].kind == Line::Key && SameName(lines[i].name, key)) return &lines[i];
  return nullptr;
}

// A value as it reads back: without surrounding blanks and one pair of matching quotes.
std::string ReadBack(const std::string& text) {
  std::string value = Trim(text);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

std::string ValueOf(const std::string& content, const Line& line) {
  return ReadBack(content.substr(line.valueAt, line.end - line.valueAt));
}

// What must come before a line inserted at offset at. The line before it may be the file's
// last and lack its line break, or end in a lone CR, which reads as one: without a break
// the new line would join it, and a whole CR LF after that CR would leave it in the text.
std::string BreakBefore(const std::string& content, size_t at, const std::string& eol) {
  if (at == 0 || content[at - 1] == '\n') return "";
  return content[at - 1] == '\r' ? "\n" : eol;
}

std::string ApplyEdit(const std::string& content, const std::string& section,
                      const std::string& key, const std::string& value) {
  const std::vector<Line> lines = SplitLines(content);
  const bool crlf = !lines.empty() && lines[0].next > lines[0].end + 1;
  const std::string eol = crlf ? "\r\n" : "\n";

  if (const Line* line = FindKey(lines, section, key)) {
    return content.substr(0, line->valueAt) + value + content.substr(line->end);
  }
  size_t first, last;
  FindSection(lines, section, first, last);
  std::string result = content;
  if (first == std::string::npos)
    return result + BreakBefore(content, content.size(), eol) + "[" + section + "]" + eol + key +
           "=" + value + eol;
  size_t after = first;  // insert after the section's last key, or after its header
  for (size_t i = first + 1; i < last; ++i)
    if (lines[i].kind == Line::Key) after = i;
  const size_t at = lines[after].next;
  result.insert(at, BreakBefore(content, at, eol) + key + "=" + value + eol);
  return result;
}

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

bool ParseProfileInteger(const std::string& input, int& value) {
  std::string text = Trim(input);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f')
      digit = Lower(c) - 'a' + 10;
    else
      return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (base == 16) {
    // Hexadecimal covers the full 32 bits, as "0xFFFFFFFF" for -1.
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
  }
  if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) return false;
  value =
      negative ? static_cast<int>(-static_cast<int64_t>(magnitude)) : static_cast<int>(magnitude);
  return true;
}

bool ParseProfileNumber(const std::string& text, double& value) {
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last && std::isfinite(value);
}

bool HasTrailingComment(const std::string& value) {
  for (size_t i = 1; i < value.size(); ++i)
    if ((value[i] == ';' || value[i] == '#') && IsBlank(value[i - 1])) return true;
  return false;
}

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
  try {
    ReadWholeFile(path_, content_);
  } catch (const Exception&) {
    content_.clear();  // unreadable: every key reads its default
  }
}

void ProfileFile::SetDefaults(const std::vector<std::string>& paths) {
  defaults_.clear();
  for (const std::string& path : paths) {
    std::string content;
    try {
      ReadWholeFile(path, content);
    } catch (const Exception&) {
      continue;
    }
    defaults_.push_back(std::move(content));
  }
}

std::vector<const std::string*> ProfileFile::Layers() const {
  std::vector<const std::string*> layers{&content_};
  for (const std::string& content : defaults_) layers.push_back(&content);
  return layers;
}

bool ProfileFile::Find(const std::string& section, const std::string& key,
                       std::string& value) const {
  for (const std::string* content : Layers()) {
    const std::vector<Line> lines = SplitLines(*content);
    if (const Line* line = FindKey(lines, section, key)) {
      value = ValueOf(*content, *line);
      return true;
    }
  }
  return false;
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
  std::string value;
  return Find(Trim(section), Trim(key), value) ? value : defaultValue;
}

int ProfileFile::ReadInteger(const std::string& section, const std::string& key,
                             int defaultValue) const {
  const std::string text = ReadString(section, key, "");
  int value;
  if (ParseProfileInteger(text, value)) return value;
  if (!text.empty())
    problems_.push_back(Problem(section, key, "a whole number") + " The default, " +
                        std::to_string(defaultValue) + ", is used.");
  return defaultValue;
}

int ProfileFile::LineOf(const std::string& section, const std::string& key) const {
  const std::vector<Line> lines = SplitLines(content_);
  const Line* line = FindKey(lines, Trim(section), Trim(key));
  return line ? static_cast<int>(line - lines.data()) + 1 : 0;
}

std::string ProfileFile::Problem(const std::string& section, const std::string& key,
                                 const std::string& expected) const {
  const std::string value = ReadString(section, key, "");
  const std::string comment =
      "a comment after a value is part of the value: put it on a line of its own";
  const std::string what = expected.empty() ? " has text after the value: " + comment
                           : HasTrailingComment(value)
                               ? " is not " + expected + " (" + comment + ")"
                               : " is not " + expected;
  return AbsoluteFilePath(path_) + ", line " + std::to_string(LineOf(section, key)) + ", [" +
         Trim(section) + "] " + Trim(key) + ": \"" + value + "\"" + what + ".";
}

bool ProfileFile::ReadBool(const std::string& section, const std::string& key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::ValueExists(const std::string& section, const std::string& key) const {
  std::string value;
  return Find(Trim(section), Trim(key), value);
}

std::vector<std::string> ProfileFile::Sections() const {
  std::vector<std::string> names;
  for (const std::string* content : Layers()) {
    for (const Line& line : SplitLines(*content)) {
      if (line.kind != Line::Section) continue;
      bool seen = false;
      for (const std::string& n : names) seen = seen || SameName(n, line.name);
      if (!seen) names.push_back(line.name);
    }
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> ProfileFile::ReadSectionValues(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> values;
  for (const std::string* content : Layers()) {
    const std::vector<Line> lines = SplitLines(*content);
    size_t first, last;
    FindSection(lines, Trim(section), first, last);
    if (first == std::string::npos) continue;
    for (size_t i = first + 1; i < last; ++i) {
      if (lines[i].kind != Line::Key) continue;
      bool seen = false;
      for (const auto& kv : values) seen = seen || SameName(kv.first, lines[i].name);
      if (!seen) values.emplace_back(lines[i].name, ValueOf(*content, lines[i]));
    }
  }
  return values;
}

void ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
  const std::string s = Trim(section), k = Trim(key);
  // A line break, "]" or "=" in the wrong place would corrupt or shift other entries.
  if (s.empty() || k.empty() || HasLineBreak(s) || HasLineBreak(k) || HasLineBreak(value) ||
      s.find(']') != std::string::npos || k.find('=') != std::string::npos || k[0] == '[' ||
      k[0] == ';' || k[0] == '#')
    throw Exception("Unable to write to " + AbsoluteFilePath(path_) + ": invalid entry [" + s +
                    "] " + k);
  // A default copied into this file would hide later changes of it.
  std::string inherited;
  if (!defaults_.empty() && FindKey(SplitLines(content_), s, k) == nullptr &&
      Find(s, k, inherited) && inherited == ReadBack(value))
    return;
  pending_.push_back({s, k, value});
  content_ = ApplyEdit(content_, s, k, value);
  if (batchDepth_ == 0) Commit();
}

void ProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::BeginUpdate() {
  ++batchDepth_;
}

void ProfileFile::EndUpdate() {
  if (batchDepth_ > 0 && --batchDepth_ == 0 && !pending_.empty()) Commit();
}

void ProfileFile::Commit() {
  // Start from the file as it is now, so that keys others changed since we read it survive.
  std::string current;
  try {
    ReadWholeFile(path_, current);
  } catch (const Exception&) {
    // Writing over a file we cannot read would lose its other entries.
    throw Exception("Unable to write to " + AbsoluteFilePath(path_));
  }
  for (const Edit& edit : pending_)
    current = ApplyEdit(current, edit.section, edit.key, edit.value);
  savedInPlace_ = SaveFile(path_, current) == SaveMethod::InPlace;
  pending_.clear();
  content_ = std::move(current);
}

}  // namespace vemo
