// SPDX-License-Identifier: GPL-3.0-or-later
// The port component under faults: closing from inside handlers and while a delivery
// waits, a GUI thread that does not answer, a device that goes away, a full receive
// buffer, and what an idle port costs.

#include "ComPortFixture.h"
#include "serial/SerialErrors.h"

namespace vemo {
namespace {

using namespace test;

TEST_F(ComPortTest, FullReceiveBufferLeavesTheRestInTheDriverUntilTheProgramReads) {
  int heard = 0;
  port.SetOnTrigger([&](TCustomComPort&, uint16_t, uint16_t, uint16_t) { ++heard; });
  port.SetOpen(true);
  std::string data;
  for (int i = 0; i < 10000; ++i) data += char('A' + i % 23);
  peer.Write(data);
  EXPECT_TRUE(ProcessUntil([&] { return port.InBuffUsed() == 8192; }));
  EXPECT_GT(heard, 0);
  auto cpu = ProcessCpuTime();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(ProcessCpuTime() - cpu, 30ms) << "a thread spins on the full buffer";
  EXPECT_EQ(8192, port.InBuffUsed());

  CollectReceived();  // a handler that reads: it hears of what waits, and the rest follows
  EXPECT_TRUE(ProcessUntil([&] { return received.size() >= data.size(); }));
  EXPECT_TRUE(received == data) << "bytes lost or reordered around the full buffer";
}

TEST_F(ComPortTest, ClosingFromInsideTheAvailHandlerFinishesAfterIt) {
  const int threads = ThreadCount();
  TPortState stateInHandler = TPortState::Open;
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    std::string block(count, '\0');
    cp.ReadBlock(block.data(), count);
    received += block;
    cp.SetOpen(false);
    stateInHandler = cp.PortState();
    cp.ReadBlock(block.data(), 1);  // ignored while closing
  });
  port.SetOpen(true);
  peer.Write("bye");
  EXPECT_TRUE(ProcessUntil([&] { return port.PortState() == TPortState::Closed; }));
  EXPECT_EQ(TPortState::Closing, stateInHandler);
  EXPECT_EQ("bye", received);
  EXPECT_EQ(threads, ThreadCountSettled(threads));
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
}

TEST_F(ComPortTest, ReopeningFromInsideTheHandlerOpensAgainOnceClosed) {
  int calls = 0;
  port.SetOnTriggerAvail([&](TCustomComPort& cp, uint16_t count) {
    std::string block(count, '\0');
    cp.ReadBlock(block.data(), count);
    received += block;
    if (++calls == 1) {
      cp.SetOpen(false);
      cp.SetOpen(true);  // the close is still running: reopen when it is done
    }
  });
  port.SetOpen(true);
  peer.Write("one");
  EXPECT_TRUE(ProcessUntil([&] { return calls == 1 && port.PortState() == TPortState::Open; }));
  peer.Write("two");
  EXPECT_TRUE(ProcessUntil([&] { return received == "onetwo"; })) << received;
}

TEST_F(ComPortTest, ClosingWhileADeliveryWaitsForTheGuiThreadDoesNotDeadlock) {
  const int threads = ThreadCount();
  CollectReceived();
  port.SetOpen(true);
  peer.Write("pending");
  std::this_thread::sleep_for(200ms);  // the dispatch thread now waits for us
  auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  ProcessFor(100ms);  // the abandoned delivery must not run now
  EXPECT_EQ("", received);
  EXPECT_EQ(threads, ThreadCountSettled(threads));
}

TEST_F(ComPortTest, DeliveryTheGuiThreadMissedIsMadeAgain) {
  CollectReceived();
  port.SetOpen(true);
  peer.Write("late");
  std::this_thread::sleep_for(3500ms);  // longer than the dispatcher waits for an answer
  EXPECT_TRUE(ProcessUntil([&] { return received.size() >= 4; }));
  ProcessFor(100ms);
  EXPECT_EQ("late", received);
}

TEST_F(ComPortTest, UnpluggedDeviceGivesErrorsAndComesBackWhenPluggedIn) {
  const int threads = ThreadCount();
  CollectReceived();
  port.SetOpen(true);
  peer.Unplug();
  EXPECT_TRUE(ProcessUntil([&] { return port.DeviceLost(); }));
  EXPECT_THROW(port.SendString("lost"), ECommNotOpen);

  auto cpu = ProcessCpuTime();
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(ProcessCpuTime() - cpu, 50ms) << "a thread spins on the hung-up device";

  auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(threads, ThreadCountSettled(threads));

  PtyPeer replugged;
  MapPort(7, replugged.SlavePath());
  port.SetOpen(true);
  port.SendString("back");
  EXPECT_EQ("back", replugged.Read(4));
  replugged.Write("again");
  EXPECT_TRUE(ProcessUntil([&] { return received == "again"; }));
}

TEST_F(ComPortTest, UnplugWithOutputStuckInTheDriverStillCloses) {
  port.SetOpen(true);
  ASSERT_FALSE(FillOutput().empty());
  peer.Unplug();
  EXPECT_TRUE(ProcessUntil([&] { return port.DeviceLost(); }));
  port.SetOpen(false);
  EXPECT_EQ(TPortState::Closed, port.PortState());
}

TEST_F(ComPortTest, IdleOpenPortCostsNoCpu) {
  port.SetOpen(true);
  auto cpu = ProcessCpuTime();
  std::this_thread::sleep_for(2s);
  EXPECT_LT(ProcessCpuTime() - cpu, 40ms);
}

TEST_F(ComPortTest, ThreadsLiveExactlyAsLongAsTheOpenPort) {
  const int threads = ThreadCount();
  port.SetOpen(true);
  EXPECT_EQ(threads + 3, ThreadCountSettled(threads + 3));
  port.SetOpen(false);
  EXPECT_EQ(threads, ThreadCountSettled(threads));
}

}  // namespace
}  // namespace vemo
