// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A text file written for the trace and the log: buffered, created new or appended to,
// with the first failure kept as a negative result code.

#include <string>
#include <string_view>

namespace vemo {

class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  // Creates or truncates fileName, or appends to it when append is set (creating it when
  // missing). Returns 0 or the negated file error code.
  int Open(const std::string& fileName, bool append);
  void Write(std::string_view text);
  void WriteLine(std::string_view text = {});
  // Writes what is buffered and closes. Returns 0 or the first failure's code.
  int Close();

 private:
  void Flush();

  int fd_ = -1;
  int result_ = 0;
  std::string pending_;
};

}  // namespace vemo
