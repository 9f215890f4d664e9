// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/WsjtxStatus.h"

#include "rig/WsjtxListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace vemo {
namespace {

using Bytes = std::vector<std::uint8_t>;

void U32(Bytes& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}
void Text(Bytes& b, const std::string& s) {
  U32(b, static_cast<std::uint32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

// A status message as WSJT-X sends it, up to and including "transmitting", plus a tail of
// the later fields (which the parser leaves alone).
Bytes Status(std::uint64_t hz, bool transmitting, std::uint32_t schema = 2) {
  Bytes b;
  U32(b, 0xadbccbda);
  U32(b, schema);
  U32(b, 1);
  Text(b, "WSJT-X");
  U32(b, static_cast<std::uint32_t>(hz >> 32));
  U32(b, static_cast<std::uint32_t>(hz));
  Text(b, "FT8");
  U32(b, 0xffffffff);  // no DX call: a null string
  Text(b, "-12");
  Text(b, "FT8");
  b.push_back(1);
  b.push_back(transmitting ? 1 : 0);
  b.push_back(0);
  U32(b, 1500);
  return b;
}

TEST(WsjtxStatus, StatusMessagesGiveFrequencyModeAndTransmitAndBadOnesAreRefused) {
  const Bytes good = Status(14074000, true);
  TWsjtxParse p = ParseWsjtxMessage(good);
  ASSERT_EQ(p.What, TWsjtxParse::Status) << p.Error;
  EXPECT_EQ(p.Message.Id, "WSJT-X");
  EXPECT_EQ(p.Message.DialHz, 14074000u);
  EXPECT_EQ(p.Message.Mode, "FT8");
  EXPECT_TRUE(p.Message.Transmitting);
  EXPECT_EQ(ParseWsjtxMessage(Status(10489540000ULL, false, 3)).Message.DialHz, 10489540000ULL);

  Bytes heartbeat;
  U32(heartbeat, 0xadbccbda);
  U32(heartbeat, 2);
  U32(heartbeat, 0);
  EXPECT_EQ(ParseWsjtxMessage(heartbeat).What, TWsjtxParse::OtherMessage);

  const auto changed = [&](size_t at, std::uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  Bytes truncated = good;
  truncated.resize(good.size() - 10);  // cut inside the flags
  Bytes longId = good;
  longId[12] = 0x7f;  // the id's length now runs far past the datagram
  const Bytes bad[] = {
      {},
      changed(0, 0xac),  // magic
      changed(7, 9),     // schema
      truncated,
      longId,
      Status(0, false),
      Status(400'000'000'000ULL, false),
      changed(good.size() - 6, 2),  // "transmitting" is no Boolean
  };
  for (const Bytes& b : bad) EXPECT_EQ(ParseWsjtxMessage(b).What, TWsjtxParse::Invalid);
}

// Over real loopback UDP: a status sets the frequency, garbage is counted and changes
// nothing, and an address that is no port is refused.
TEST(WsjtxListener, HearsStatusOnLoopbackAndRefusesGarbage) {
  EXPECT_THROW(WsjtxListener("12a"), RigError);
  EXPECT_THROW(WsjtxListener("no.such.host:2237"), RigError);
  // A free port: bind one, let it go, listen there.
  const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof at;
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&at), &size), 0);
  ::close(probe);
  WsjtxListener listener(std::to_string(ntohs(at.sin_port)));
  EXPECT_FALSE(listener.FrequencyAt(0));
  const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
  const auto send = [&](const Bytes& b) {
    ::sendto(sender, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&at), sizeof at);
  };
  send(Bytes{1, 2, 3});
  send(Status(14074000, true));
  const auto now = [] { return EpochMs(); };
  for (int i = 0; i < 200 && !listener.FrequencyAt(now()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::close(sender);
  ASSERT_EQ(listener.FrequencyAt(now()).value_or(0), 14074000);
  EXPECT_TRUE(listener.State(now()).Keyed);
  EXPECT_EQ(listener.Refused(), 1u);
  EXPECT_FALSE(listener.FrequencyAt(now() + kWsjtxSilenceMs + 1)) << "WSJT-X fell silent";
}

}  // namespace
}  // namespace vemo
