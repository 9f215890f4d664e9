// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/WsjtxListener.h"

#include "rig/WsjtxStatus.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace vemo {
namespace {

[[noreturn]] void Refuse(const std::string& address, const std::string& why) {
  throw RigError("Cannot listen for WSJT-X at \"" + address + "\": " + why, false);
}

}  // namespace

WsjtxListener::WsjtxListener(const std::string& address) {
  const size_t colon = address.rfind(':');
  const std::string host = colon == std::string::npos ? "127.0.0.1" : address.substr(0, colon);
  const std::string portText = colon == std::string::npos ? address : address.substr(colon + 1);
  int port = 0;
  const char* end = portText.data() + portText.size();
  in_addr ip{};
  if (std::from_chars(portText.data(), end, port).ptr != end || port < 1 || port > 65535 ||
      inet_pton(AF_INET, host.c_str(), &ip) != 1)
    Refuse(address, "give a port, or an IPv4 address and a port, such as 127.0.0.1:2237");
  const bool multicast = IN_MULTICAST(ntohl(ip.s_addr));
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) Refuse(address, std::strerror(errno));
  // WSJT-X's other listeners (loggers, bridges) share a multicast port.
  const int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = htons(static_cast<std::uint16_t>(port));
  bound.sin_addr = multicast ? in_addr{htonl(INADDR_ANY)} : ip;
  std::string failure;
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0) {
    failure = std::strerror(errno);
  } else if (multicast) {
    ip_mreq group{};
    group.imr_multiaddr = ip;
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0)
      failure = std::string("cannot join the group: ") + std::strerror(errno);
  }
  int wake[2];
  if (failure.empty() && ::pipe2(wake, O_CLOEXEC) != 0) failure = std::strerror(errno);
  if (!failure.empty()) {
    ::close(fd_);
    Refuse(address, failure);
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  thread_ = std::thread([this] { Run(); });
}

WsjtxListener::~WsjtxListener() {
  const char stop = 0;
  while (::write(wakeWrite_, &stop, 1) < 0 && errno == EINTR) {
  }
  thread_.join();
  ::close(fd_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

TRigState WsjtxListener::State(std::int64_t nowMs) const {
  std::lock_guard lock(mutex_);
  TRigState state = state_;
  state.Connected = heardMs_ != 0 && nowMs - heardMs_ <= kWsjtxSilenceMs && state.FrequencyHz > 0;
  if (!state.Connected) state.Error = heardMs_ ? "WSJT-X fell silent" : "WSJT-X not heard yet";
  return state;
}

std::optional<double> WsjtxListener::FrequencyAt(std::int64_t nowMs) const {
  const TRigState state = State(nowMs);
  if (!state.Connected) return std::nullopt;
  return state.FrequencyHz;
}

std::uint64_t WsjtxListener::Refused() const {
  std::lock_guard lock(mutex_);
  return refused_;
}

void WsjtxListener::Run() {
  // The largest datagram UDP carries: a longer one is cut, and the parser refuses it.
  std::uint8_t buffer[65536];
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0) continue;
    const TWsjtxParse parsed =
        ParseWsjtxMessage(std::span<const std::uint8_t>(buffer, static_cast<size_t>(got)));
    std::lock_guard lock(mutex_);
    if (parsed.What == TWsjtxParse::Invalid) {
      ++refused_;
      continue;
    }
    heardMs_ = EpochMs();
    if (parsed.What != TWsjtxParse::Status) continue;
    state_.TimeMs = heardMs_;
    state_.FrequencyHz = static_cast<double>(parsed.Message.DialHz);
    state_.Mode = parsed.Message.Mode;
    state_.Keyed = parsed.Message.Transmitting;
  }
}

}  // namespace vemo
