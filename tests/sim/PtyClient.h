// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PC's end of the simulated line for tests: raw bytes in and out with short deadlines.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

namespace vemo::test {

class PtyClient {
 public:
  explicit PtyClient(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + device);
  }
  ~PtyClient() { Close(); }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void Send(const std::string& bytes) {
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("write failed");
  }

  // Reads until count bytes came or the time is up; returns what came.
  std::string Read(size_t count,
                   std::chrono::milliseconds limit = std::chrono::milliseconds(1000)) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      if (p.revents & (POLLHUP | POLLERR)) {
        hungUp_ = true;
        if (!(p.revents & POLLIN)) break;
      }
      char buffer[256];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) {
        hungUp_ = hungUp_ || n == 0 || errno == EIO;
        if (hungUp_) break;
        continue;
      }
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

  // Sends a command and reads the reply of the given length.
  std::string Ask(const std::string& command, size_t replyLength,
                  std::chrono::milliseconds limit = std::chrono::milliseconds(1000)) {
    Send(command);
    return Read(replyLength, limit);
  }

  bool HungUp() const { return hungUp_; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};

}  // namespace vemo::test
