// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/RigctldUnkey.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vemo {

RigctldUnkey::RigctldUnkey(TRigTarget target) : target_(std::move(target)) {
  const size_t colon = target_.Path.rfind(':');
  host_ = target_.Path.substr(0, colon);
  port_ = target_.Path.substr(colon + 1);
}

RigctldUnkey::~RigctldUnkey() {
  Drop();
}

void RigctldUnkey::Drop() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void RigctldUnkey::Connect() {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const auto fail = [&](const std::string& why) {
    throw RigError("Cannot unkey through the rigctld at " + target_.Path + ": " + why, true);
  };
  if (::getaddrinfo(host_.c_str(), port_.c_str(), &hints, &found) != 0 || !found)
    fail("the host is unknown");
  for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
    fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd_ < 0) continue;
    if (::connect(fd_, a->ai_addr, a->ai_addrlen) != 0) Drop();
  }
  ::freeaddrinfo(found);
  if (fd_ < 0) fail(std::strerror(errno));
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void RigctldUnkey::Unkey() {
  std::lock_guard lock(mutex_);
  // A connection the daemon closed shows only when written to; one fresh try then.
  for (int attempt = 0;; ++attempt) {
    if (fd_ < 0) Connect();
    if (::send(fd_, "T 0\n", 4, MSG_NOSIGNAL) == 4) {
      lastSent_ = std::chrono::steady_clock::now();
      break;
    }
    Drop();
    if (attempt == 1)
      throw RigError("Cannot unkey through the rigctld at " + target_.Path + ": it went away",
                     true);
  }
  std::string reply;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(target_.TimeoutMs);
  while (reply.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    char buffer[64];
    ssize_t n = 0;
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
        (n = ::recv(fd_, buffer, sizeof buffer, 0)) <= 0) {
      Drop();
      throw RigError("The rigctld at " + target_.Path + " did not acknowledge the unkey", true);
    }
    reply.append(buffer, static_cast<size_t>(n));
  }
  if (reply.rfind("RPRT 0", 0) != 0) {
    Drop();  // whatever else it sent must not be read as the next reply
    throw RigError("The rigctld at " + target_.Path + " refused the unkey (" +
                       reply.substr(0, reply.find('\n')) + ")",
                   false);
  }
}

}  // namespace vemo
