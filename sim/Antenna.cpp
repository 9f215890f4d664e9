// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Antenna.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace vemo::sim {

double ReflectedShare(double hz, double resonanceHz, double bandwidthHz) {
  // Series RLC at its resistance R: Gamma = jy / (2 + jy), y = 2Q(f - f0)/f0. |Gamma| = 1/3
  // (VSWR 2.0) at y^2 = 1/2, which is put at half the bandwidth from resonance.
  const double y = 0.7071067811865476 * (hz - resonanceHz) / (bandwidthHz / 2);
  return y * y / (4 + y * y);
}

RigFollower::RigFollower(std::string hostPort) {
  const size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos) throw std::invalid_argument("--rig: give HOST:PORT");
  host_ = hostPort.substr(0, colon);
  if (host_ == "localhost") host_ = "127.0.0.1";
  port_ = std::atoi(hostPort.c_str() + colon + 1);
  in_addr address{};
  if (port_ < 1 || port_ > 65535 || ::inet_pton(AF_INET, host_.c_str(), &address) != 1)
    throw std::invalid_argument("--rig: '" + hostPort + "' is no IPv4 HOST:PORT");
  thread_ = std::thread([this] { Run(); });
}

RigFollower::~RigFollower() {
  stopping_ = true;
  thread_.join();
}

void RigFollower::Run() {
  using namespace std::chrono_literals;
  int fd = -1;
  std::string pending;
  while (!stopping_) {
    if (fd < 0) {
      fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(static_cast<uint16_t>(port_));
      ::inet_pton(AF_INET, host_.c_str(), &to.sin_addr);
      timeval limit{0, 500000};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        fd = -1;
        keyed_ = false;
        std::this_thread::sleep_for(200ms);
        continue;
      }
      pending.clear();
    }
    // Two questions, two lines back: the frequency in hertz, then PTT 0/1.
    bool ok = ::send(fd, "f\nt\n", 4, MSG_NOSIGNAL) == 4;
    std::string lines[2];
    for (int i = 0; ok && i < 2; ++i) {
      size_t eol;
      while (ok && (eol = pending.find('\n')) == std::string::npos) {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        ok = n > 0;
        if (ok) pending.append(buffer, static_cast<size_t>(n));
      }
      if (ok) {
        lines[i] = pending.substr(0, eol);
        pending.erase(0, eol + 1);
      }
    }
    if (ok) {
      frequency_ = std::atof(lines[0].c_str());
      keyed_ = std::atoi(lines[1].c_str()) != 0;
      std::this_thread::sleep_for(20ms);
    } else {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd >= 0) ::close(fd);
}

}  // namespace vemo::sim
