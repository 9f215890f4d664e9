// SPDX-License-Identifier: GPL-3.0-or-later
// Deliveries of received data that meet other readers: reads made outside the event
// while a delivery runs, and a handler that sits in a nested event loop.

#include <QTimer>
#include <thread>

#include "ComPortFixture.h"

namespace vemo {
namespace {

using namespace test;

TEST_F(ComPortTest, ReadsOutsideTheEventWhileADeliveryRunsTakeEveryByteOnce) {
  constexpr size_t kSize = 2000000;
  std::string sent(kSize, '\0');
  for (size_t i = 0; i < kSize; ++i) sent[i] = char(i % 251);

  auto take = [this](TCustomComPort& cp, size_t wanted) {
    size_t n = std::min<size_t>(wanted, cp.InBuffUsed());
    if (n == 0) return;
    std::string block(n, '\0');
    cp.ReadBlock(block.data(), uint16_t(n));
    received += block;
  };
  // The handler takes part of what is announced; a timer polls for the rest meanwhile.
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) { take(cp, count / 2 + 1); });
  QTimer poller;
  poller.setInterval(0);
  QObject::connect(&poller, &QTimer::timeout, &poller, [&] { take(port, 7); });
  port.SetOpen(true);
  poller.start();

  std::thread writer([&] {
    for (size_t at = 0; at < kSize; at += 30) peer.Write(std::string_view(sent).substr(at, 30));
  });
  EXPECT_TRUE(ProcessUntil([&] { return received.size() >= kSize; }, 60s));
  writer.join();
  ProcessFor(200ms);
  poller.stop();
  EXPECT_EQ(kSize, received.size());
  EXPECT_TRUE(received == sent.substr(0, received.size())) << "bytes duplicated or reordered";
}

TEST_F(ComPortTest, HandlerInANestedEventLoopIsGivenUpAfterTheSendTimeOutAndDeliveryGoesOn) {
  int calls = 0;
  bool nestedDelivery = false;
  std::chrono::steady_clock::duration waited{};
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    std::string block(count, '\0');
    cp.ReadBlock(block.data(), count);
    received += block;
    if (++calls > 1) return;
    // As a message box shown from the handler would: more data comes meanwhile.
    peer.Write("second");
    auto start = std::chrono::steady_clock::now();
    nestedDelivery = ProcessUntil([&] { return received == "firstsecond"; }, 6s);
    waited = std::chrono::steady_clock::now() - start;
  });
  port.SetOpen(true);
  peer.Write("first");
  EXPECT_TRUE(ProcessUntil([&] { return waited.count() > 0; }, 10s));
  EXPECT_TRUE(nestedDelivery) << "deliveries stalled while the handler's loop ran";
  EXPECT_GT(waited, 2500ms) << "the dispatcher waits for an answer first";
  EXPECT_LT(waited, 4500ms);
  ProcessFor(100ms);
  EXPECT_EQ("firstsecond", received);
}

}  // namespace
}  // namespace vemo
