// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher's parts on their own: rings, trigger matching, the process-wide list,
// the GUI-thread receiver, the port probe, and a heavy two-way transfer.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <random>
#include <thread>

#include "PtyPeer.h"
#include "serial/ComPort.h"
#include "serial/ComWindow.h"
#include "serial/NativeDispatcher.h"
#include "serial/PortProbe.h"
#include "serial/Rings.h"
#include "serial/SerialErrors.h"

namespace vemo {
namespace {

using namespace test;

std::string Bytes(const TByteRing& ring) {
  std::string s(ring.Count(), '\0');
  ring.Peek(0, reinterpret_cast<uint8_t*>(s.data()), s.size());
  return s;
}

void Put(TByteRing& ring, std::string_view s) {
  ring.Put(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(ByteRing, KeepsOrderAcrossTheWrapAndKnowsWhenFull) {
  TByteRing ring(8);
  Put(ring, "abcdef");
  ring.Consume(4);
  Put(ring, "ghijkl");  // wraps
  EXPECT_EQ("efghijkl", Bytes(ring));
  EXPECT_TRUE(ring.Full());
  EXPECT_EQ(0u, ring.Put(reinterpret_cast<const uint8_t*>("x"), 1));
  uint8_t two[2];
  EXPECT_TRUE(ring.Peek(6, two, 2));
  EXPECT_EQ('k', two[0]);
  EXPECT_FALSE(ring.Peek(7, two, 2)) << "peeked past the held bytes";
  ring.Consume(8);
  EXPECT_TRUE(ring.Empty());
  EXPECT_FALSE(ring.Full());
}

TEST(ByteRing, SpansCoverTheContiguousRunsOnly) {
  TByteRing ring(8);
  Put(ring, "abcdef");
  ring.Consume(5);                         // tail at 5, head at 6
  EXPECT_EQ(2u, ring.WriteSpan().size());  // up to the end; the rest after the wrap
  ring.Commit(2);
  EXPECT_EQ(3u, ring.ReadSpan().size());
  EXPECT_EQ(5u, ring.WriteSpan().size());
  ring.Commit(5);
  EXPECT_TRUE(ring.Full());
  EXPECT_TRUE(ring.WriteSpan().empty());
}

TEST(TriggerLists, DataTriggersMatchOverlappingAndCaseBlindText) {
  struct Case {
    std::string match;
    bool ignoreCase;
    std::string input;
    int hits;
  };
  const Case cases[] = {
      {"aab", false, "aaab", 1}, {"abab", false, "abababab", 2}, {"OK", true, "ok Ok", 2},
      {"OK", false, "ok Ok", 0}, {"\r\n", false, "a\r\r\nb", 1}, {"aa", false, "aaaa", 2},
  };
  for (const Case& c : cases) {
    TTriggerLists lists;
    int handle = lists.AddData(c.match, c.ignoreCase);
    ASSERT_GT(handle, 0);
    int hits = 0;
    for (char b : c.input)
      for (uint16_t h : lists.MatchByte(uint8_t(b))) hits += h == handle;
    EXPECT_EQ(c.hits, hits) << c.match << " in " << c.input;
  }
}

TEST(TriggerLists, HandlesAreUniqueAndChecked) {
  TTriggerLists lists;
  int a = lists.AddData("x", false), b = lists.AddTimer(), c = lists.AddStatus(stOutSent);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_EQ(ecBadArgument, lists.AddData("", false));
  EXPECT_EQ(ecTriggerTooLong, lists.AddData(std::string(256, 'x'), false));
  EXPECT_EQ(0, lists.Remove(uint16_t(b)));
  EXPECT_EQ(ecBadTriggerHandle, lists.Remove(uint16_t(b)));
  EXPECT_EQ(ecBadTriggerHandle, lists.SetTimer(uint16_t(b), 1, true, {}));
  auto now = std::chrono::steady_clock::now();
  int t = lists.AddTimer();
  lists.SetTimer(uint16_t(t), 2, true, now);
  EXPECT_TRUE(lists.TakeDueTimers(now + 100ms).empty());
  EXPECT_EQ(std::vector<uint16_t>{uint16_t(t)}, lists.TakeDueTimers(now + 110ms));
  EXPECT_TRUE(lists.TakeDueTimers(now + 1s).empty()) << "timer triggers fire once";
}

TEST(DispatcherList, HandleIsTheFirstFreeSlot) {
  auto a = std::make_unique<TTermiosDispatcher>(nullptr);
  auto b = std::make_unique<TTermiosDispatcher>(nullptr);
  uint16_t ha = a->Handle();
  EXPECT_EQ(b.get(), TBaseDispatcher::FromHandle(b->Handle()));
  a.reset();
  EXPECT_EQ(nullptr, TBaseDispatcher::FromHandle(ha));
  TTermiosDispatcher c(nullptr);
  EXPECT_EQ(ha, c.Handle());
  EXPECT_EQ(nullptr, TBaseDispatcher::FromHandle(0xFFFF));
}

TEST(ComWindow, SendRunsOnTheWindowThreadAndAnAbandonedSendNeverRuns) {
  std::vector<uint16_t> ran;
  TComWindow window([&](const TComMessage& m) { ran.push_back(m.msg); });
  std::atomic<bool> cancel{false};

  bool answered = false;
  std::thread sender([&] { answered = window.Send({1, 0, 0}, 3000ms, cancel); });
  EXPECT_TRUE(ProcessUntil([&] { return !ran.empty(); }));
  sender.join();
  EXPECT_TRUE(answered);

  // Nobody runs the event loop: the send gives up after its time-out...
  std::thread late([&] { answered = window.Send({2, 0, 0}, 50ms, cancel); });
  late.join();
  EXPECT_FALSE(answered);
  // ...or when cancelled.
  std::thread cancelled([&] { answered = window.Send({3, 0, 0}, 10s, cancel); });
  std::this_thread::sleep_for(20ms);
  cancel = true;
  window.Wake();
  cancelled.join();
  EXPECT_FALSE(answered);
  ProcessFor(50ms);
  EXPECT_EQ(std::vector<uint16_t>{1}, ran);

  // Sent from the window's own thread, the procedure runs at once.
  window.Send({4, 0, 0}, 0ms, cancel);
  EXPECT_EQ(4, ran.back());
}

TEST(PortProbe, TellsFreeHeldAndMissingDevicesApartWithoutDisturbingTheHolder) {
  PtyPeer peer;
  EXPECT_EQ(TPortPresence::Free, ProbePort(peer.SlavePath()));
  EXPECT_EQ(TPortPresence::Absent, ProbePort("/dev/vemo-no-such-device"));
  EXPECT_EQ(TPortPresence::Absent, ProbePort("/dev/null"));

  int holder = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  termios before;
  ::tcgetattr(holder, &before);
  before.c_iflag ^= ICRNL;  // settings of its own that a probe must not touch
  before.c_lflag ^= ECHO;
  ::tcsetattr(holder, TCSANOW, &before);
  ::tcgetattr(holder, &before);
  ::ioctl(holder, TIOCEXCL);
  EXPECT_EQ(TPortPresence::InUse, ProbePort(peer.SlavePath()));
  int excl = 0;
  ::ioctl(holder, TIOCGEXCL, &excl);
  EXPECT_EQ(1, excl);
  ::ioctl(holder, TIOCNXCL);
  ASSERT_EQ(0, ::flock(holder, LOCK_EX | LOCK_NB));
  EXPECT_EQ(TPortPresence::InUse, ProbePort(peer.SlavePath()));
  termios after;
  ::tcgetattr(holder, &after);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_iflag, after.c_iflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  ::close(holder);
  EXPECT_EQ(TPortPresence::Free, ProbePort(peer.SlavePath()));
}

TEST(PortProbe, ListsMappedPortsByNumberAndOurOwnOpenPortAsInUse) {
  PtyPeer free, held;
  MapPort(41, free.SlavePath());
  MapPort(42, held.SlavePath());
  MapPort(43, "/dev/vemo-no-such-device");
  TComPort port;
  port.SetComNumber(42);
  port.SetOpen(true);
  std::vector<int> numbers = PresentPortNumbers(50);
  EXPECT_NE(numbers.end(), std::find(numbers.begin(), numbers.end(), 41));
  EXPECT_NE(numbers.end(), std::find(numbers.begin(), numbers.end(), 42));
  EXPECT_EQ(numbers.end(), std::find(numbers.begin(), numbers.end(), 43));
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
  // Probing did not disturb the open port.
  port.SendString("still here");
  EXPECT_EQ("still here", held.Read(10));
}

TEST(Transfer, MegabyteEachWayArrivesCompleteAndInOrder) {
  constexpr size_t kSize = 1 << 20;
  std::mt19937 rng(12345);
  std::string toPeer(kSize, '\0'), fromPeer(kSize, '\0');
  for (char& c : toPeer) c = char(rng());
  for (char& c : fromPeer) c = char(rng());

  PtyPeer peer;
  MapPort(44, peer.SlavePath());
  TComPort port;
  port.SetComNumber(44);
  port.SetBaud(115200);
  std::string received;
  received.reserve(kSize);
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    size_t at = received.size();
    received.resize(at + count);
    cp.ReadBlock(received.data() + at, count);
  });
  port.SetOpen(true);

  std::string gotByPeer;
  std::thread peerThread([&] {
    // Writes and reads interleaved, so that neither side's queue stalls the other.
    size_t sent = 0;
    int fd = peer.Fd();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    char buf[65536];
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while ((sent < kSize || gotByPeer.size() < kSize) &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, short(POLLIN | (sent < kSize ? POLLOUT : 0)), 0};
      ::poll(&p, 1, 100);
      if (p.revents & POLLIN) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) gotByPeer.append(buf, size_t(n));
      }
      if ((p.revents & POLLOUT) && sent < kSize) {
        ssize_t n = ::write(fd, fromPeer.data() + sent, std::min<size_t>(4096, kSize - sent));
        if (n > 0) sent += size_t(n);
      }
    }
  });

  size_t queued = 0;
  auto deadline = std::chrono::steady_clock::now() + 60s;
  while ((queued < kSize || received.size() < kSize) &&
         std::chrono::steady_clock::now() < deadline) {
    size_t room = port.OutBuffFree();
    if (queued < kSize && room > 0) {
      size_t n = std::min(room, kSize - queued);
      port.SendString(std::string_view(toPeer).substr(queued, n));
      queued += n;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (room == 0) std::this_thread::sleep_for(1ms);
  }
  peerThread.join();
  ASSERT_EQ(kSize, received.size());
  ASSERT_EQ(kSize, gotByPeer.size());
  EXPECT_TRUE(received == fromPeer) << "received bytes changed or out of order";
  EXPECT_TRUE(gotByPeer == toPeer) << "sent bytes changed or out of order";
}

}  // namespace
}  // namespace vemo
