// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/TextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/SerialErrors.h"

namespace vemo {
namespace {
constexpr std::size_t kFlushAt = 64 * 1024;
}

TextFile::~TextFile() {
  Close();
}

int TextFile::Open(const std::string& fileName, bool append) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  do {
    fd_ = ::open(fileName.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  result_ = fd_ < 0 ? FileErrnoToResult(errno) : 0;
  return result_;
}

void TextFile::Write(std::string_view text) {
  if (fd_ < 0 || result_ != 0) return;
  pending_.append(text);
  if (pending_.size() >= kFlushAt) Flush();
}

void TextFile::WriteLine(std::string_view text) {
  Write(text);
  Write("\n");
}

void TextFile::Flush() {
  std::size_t done = 0;
  while (result_ == 0 && done < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n >= 0)
      done += static_cast<std::size_t>(n);
    else if (errno != EINTR)
      result_ = FileErrnoToResult(errno);
  }
  pending_.clear();
}

int TextFile::Close() {
  if (fd_ < 0) return result_;
  Flush();
  if (::close(fd_) != 0 && result_ == 0 && errno != EINTR) result_ = FileErrnoToResult(errno);
  fd_ = -1;
  return result_;
}

}  // namespace vemo
