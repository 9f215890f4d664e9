// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's settings file: a Windows-style profile (INI) file.
//
// Section and key names compare case-insensitively (ASCII). Values are trimmed of
// surrounding blanks and of one pair of matching quotes when read. Writing a key changes
// only that key's line: comments, blank lines, unknown keys and sections and their order
// stay byte for byte, line endings (LF or CR LF) included. A missing key is added after
// the last key of its section, a missing section at the end of the file.
//
// Every write re-reads the file and saves it (see SaveFile), so changes made by others in
// the meantime survive and a crash never leaves a half written file. BeginUpdate/EndUpdate
// batch several writes into one save.

#include <string>
#include <utility>
#include <vector>

namespace vemo {

class ProfileFile {
 public:
  // Loads path; a missing or unreadable file reads as an empty profile.
  explicit ProfileFile(std::string path);

  const std::string& FileName() const { return path_; }

  // Site-wide defaults beneath this file, most important first: a key this file lacks is read
  // from the first of them that has it. They are only ever read. A write that would merely
  // copy a default into this file is left out, so that a later change of the default still
  // reaches this user. Missing or unreadable files are skipped.
  void SetDefaults(const std::vector<std::string>& paths);

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "0x"/"0X" when the text is longer than two characters.
  // A missing key, or a value that is no 32-bit integer, gives defaultValue; the latter is
  // also noted in Problems().
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // Any non-zero integer is true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // Key/value pairs of a section in file order (first occurrence of each key), this file's
  // before those only the defaults have.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(
      const std::string& section) const;
  // Section names in file order (first occurrence of each), the defaults' after this file's.
  std::vector<std::string> Sections() const;
  // The line number (from 1) of the key's line, 0 when the key is missing.
  int LineOf(const std::string& section, const std::string& key) const;

  // A message for a key whose value is not what it must be (expected: "a whole number";
  // empty: it has a comment after it): the file, line, section, key and value, and, for
  // text after the value, that a comment needs a line of its own (a value runs to the end
  // of its line).
  std::string Problem(const std::string& section, const std::string& key,
                      const std::string& expected) const;
  // The messages for the values ReadInteger and ReadBool could not read, in reading order.
  const std::vector<std::string>& Problems() const { return problems_; }

  // Each raises vemo::Exception "Unable to write to <full path>" when the file cannot be
  // written (outside a batch: at once; inside: at EndUpdate), and for a section, key or
  // value that the file format cannot hold (line breaks, "]" in a section, "=" in a key).
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // Writes between BeginUpdate and the matching EndUpdate reach the disk together, in one
  // replacement at EndUpdate. Batches nest. If EndUpdate raises, the pending writes stay
  // pending and a later EndUpdate (after another BeginUpdate) retries them.
  void BeginUpdate();
  void EndUpdate();

  // Whether the last save had to rewrite the file in place (its folder allows no new
  // file), without the protection of a replacement.
  bool SavedInPlace() const { return savedInPlace_; }

 private:
  struct Edit {
    std::string section, key, value;
  };
  void Commit();

  // The contents read from: this file's, then the defaults'.
  std::vector<const std::string*> Layers() const;
  bool Find(const std::string& section, const std::string& key, std::string& value) const;

  std::string path_;
  std::vector<std::string> defaults_;  // the contents of the site-wide files
  std::string content_;  // the file as last read or written, with our pending edits applied
  std::vector<Edit> pending_;
  int batchDepth_ = 0;
  bool savedInPlace_ = false;
  mutable std::vector<std::string> problems_;  // noted by the reads
};

// Parses an integer as the profile layer does ("12", "-3", "0x1F"); false when it is none.
bool ParseProfileInteger(const std::string& text, int& value);

// Parses a whole value as a finite decimal number with "." ("2.5", "1e3") whatever the
// locale; false when it is none or anything follows it.
bool ParseProfileNumber(const std::string& text, double& value);

// Whether a value carries what looks like a comment after it (" ; ..." or " # ...").
bool HasTrailingComment(const std::string& value);

}  // namespace vemo
