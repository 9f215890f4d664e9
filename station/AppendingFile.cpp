// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/AppendingFile.h"

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vemo {

namespace {

std::string Quoted(const std::string& file) {
  return '"' + file + '"';
}

std::string Failure(const char* what, const std::string& file, int error) {
  return std::string(what) + ' ' + Quoted(file) + " (" + std::strerror(error) + ")";
}

bool WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

AppendingFile::AppendingFile(std::string header, std::string singular, std::string plural,
                             Notify notify)
    : header_(std::move(header)),
      singular_(std::move(singular)),
      plural_(std::move(plural)),
      notify_(std::move(notify)) {}

AppendingFile::~AppendingFile() {
  Close();
}

bool AppendingFile::Write(const std::string& file, const std::string& line) {
  return Write(file, [&line](const std::string&) { return line; });
}

bool AppendingFile::Write(const std::string& file, const LineFor& line) {
  std::string error;
  if (!Append(file, line, error)) {
    ++notWritten_;
    if (!failing_) {
      failing_ = true;
      std::string what = plural_;
      if (!what.empty())
        what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
      if (notify_)
        notify_(true, what + " are not being logged: " + error +
                          ". Logging resumes by itself once the file can be written again.");
    }
    return false;
  }
  if (failing_) {
    failing_ = false;
    if (notify_)
      notify_(false, "Logging " + plural_ + " to " + Quoted(file) + " again; " +
                         std::to_string(notWritten_) + ' ' +
                         (notWritten_ == 1 ? singular_ + " was" : plural_ + " were") +
                         " not logged.");
  }
  return true;
}

bool AppendingFile::Append(const std::string& file, const LineFor& line, std::string& error) {
  if (fd_ >= 0 && !StillOpenAt(file)) Close();
  if (fd_ < 0 && !Open(file, error)) return false;

  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    error = Failure("cannot write", file, errno);
    Close();
    return false;
  }
  std::string text;
  std::string fileHeader = header_;
  if (st.st_size == 0) {
    text = header_ + '\n';
  } else {
    // A line cut short earlier (a crash, another writer) must not swallow this one.
    char last = '\n';
    if (::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n') text = "\n";
    char first[1024];
    const ssize_t got = ::pread(fd_, first, sizeof first, 0);
    if (got > 0) fileHeader.assign(first, static_cast<size_t>(got));
    fileHeader.resize(std::min(fileHeader.find('\n'), fileHeader.size()));
    if (!fileHeader.empty() && fileHeader.back() == '\r') fileHeader.pop_back();
  }
  text += line(fileHeader) + '\n';
  if (!WriteAll(fd_, text)) {
    error = Failure("cannot write", file, errno);
    // Take back a partial line so that the file stays whole when logging resumes; should
    // that fail too, the next line starts on a line of its own.
    if (::ftruncate(fd_, st.st_size) != 0) error += ", a partial line remains";
    Close();
    return false;
  }
  return true;
}

bool AppendingFile::Open(const std::string& file, std::string& error) {
  // Read access lets a line cut short and the file's own header be seen; a file we may only
  // write to is still written.
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EACCES)
    fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    error = Failure("cannot open", file, errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "cannot open " + Quoted(file) + " (not a regular file)";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  file_ = file;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  return true;
}

bool AppendingFile::StillOpenAt(const std::string& file) const {
  // Writing on to a file someone removed or replaced would lose every line silently.
  struct stat st {};
  return file == file_ && ::stat(file.c_str(), &st) == 0 && st.st_dev == device_ &&
         st.st_ino == inode_;
}

void AppendingFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace vemo
