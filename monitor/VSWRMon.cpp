// SPDX-License-Identifier: GPL-3.0-or-later
// Framing of every exchange, the reply wait, identification and status words.
#include "monitor/VSWRMon.h"

#include "monitor/NumConvert.h"
#include "platform/Exception.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace vemo {

namespace {

// Longest single wait between looks at the wall clock, so that a clock that is set
// forward or back during an exchange is noticed promptly.
constexpr std::chrono::milliseconds kMaxWaitSlice{200};

}  // namespace

TVSWR_Monitor::TVSWR_Monitor(IComSender& comPort, TBuffer& rxBuffer, const Clock& clock)
    : ComPort_(comPort), RxBuffer_(rxBuffer), clock_(clock) {}

void TVSWR_Monitor::Send(char c) {
  portFailed_ = false;
  try {
    ComPort_.SendChar(c);
  } catch (...) {
    portFailed_ = true;
    throw;
  }
}

void TVSWR_Monitor::Send(std::string_view s) {
  portFailed_ = false;
  try {
    ComPort_.SendString(s);
  } catch (...) {
    portFailed_ = true;
    throw;
  }
}

void TVSWR_Monitor::WaitForBytes(std::chrono::nanoseconds limit) {
  const auto slice = std::min<std::chrono::nanoseconds>(limit, kMaxWaitSlice);
  // Round up so that the wait never ends just before the deadline and spins.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice).count() + 1;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&RxBuffer_, &TBuffer::Appended, &loop, &QEventLoop::quit);
  timer.start(static_cast<int>(ms));
  loop.exec();
}

void TVSWR_Monitor::ReadInto(std::string& text, size_t count, double timeoutSeconds,
                             const char* timeoutMessage) {
  const WallTime deadline = clock_.Now() + std::chrono::duration_cast<WallTime::duration>(
                                               std::chrono::duration<double>(timeoutSeconds));
  while (text.size() < count) {
    while (text.size() < count && RxBuffer_.Count() > 0)
      text.push_back(static_cast<char>(RxBuffer_.Get()));
    if (text.size() >= count) break;
    const WallTime now = clock_.Now();
    if (now > deadline) throw EReplyTimeout(timeoutMessage);
    WaitForBytes(deadline - now);
  }
}

std::string TVSWR_Monitor::ReadReply(int count, double timeoutSeconds) {
  std::string text;
  text.reserve(static_cast<size_t>(std::max(count, 0)));
  ReadInto(text, static_cast<size_t>(std::max(count, 0)), timeoutSeconds);
  return text;
}

void TVSWR_Monitor::Realign(std::string& reply, std::string_view prefix, double timeoutSeconds,
                            const char* operation) {
  const size_t p = reply.find(prefix);
  if (p == std::string::npos)
    throw Exception("Unexpected result" + reply + " in " + operation + ".");
  if (p > 0) {
    // Stray characters came before the reply: drop them and read as many again.
    const size_t length = reply.size();
    reply.erase(0, p);
    ReadInto(reply, length, timeoutSeconds);
  }
}

int32_t TVSWR_Monitor::ValueAfterPrefix(const std::string& reply) {
  const size_t end = reply.find("\r\n", 2);
  return StrToInt(std::string_view(reply).substr(2, end == std::string::npos ? end : end - 2));
}

bool TVSWR_Monitor::Identify() {
  return IsAcceptedIdentification(CommandI());
}

std::string TVSWR_Monitor::CommandI() {
  try {
    RxBuffer_.Clear();
    Send('I');
    std::string reply = ReadReply(40, 4);
    // A stray byte ahead of the identification would shift every field: start the reply
    // at the first accepted model prefix and read as many characters again.
    const size_t p = FindAcceptedIdentification(reply);
    if (p != std::string::npos && p > 0) {
      reply.erase(0, p);
      ReadInto(reply, 40, 4);
    }
    if (reply[10] != '/' || reply[13] != '/')
      throw Exception("Unexpected result" + reply + " in CommandI.");
    const int yy = StrToInt(std::string_view(reply).substr(14, 2));
    const int year = yy <= 80 ? 2000 + yy : 1900 + yy;
    const TDateTime date = StrToDate(reply.substr(8, 6) + std::to_string(year));
    ModelId_ = reply.substr(0, 8);
    FirmwareDate_ = date;
    return reply;
  } catch (...) {
    // A monitor that could not be identified gets none of the model-dependent commands.
    ModelId_.clear();
    FirmwareDate_ = EncodeDate(1980, 1, 1);
    throw;
  }
}

uint16_t TVSWR_Monitor::ProcessStatusInput(char letter) {
  const std::string reply = ReadReply(6, 3);
  size_t pair = reply.find("\r\n");
  if (pair == std::string::npos) pair = reply.find("\n\r");
  if (pair != 4)
    throw Exception("Unexpected result" + reply + " in command" + std::string(1, letter) + ".");
  const auto status = static_cast<uint16_t>(StrToInt("$" + reply.substr(0, 4)));
  DecodeStatus(status);
  return status;
}

void TVSWR_Monitor::DecodeStatus(uint16_t status) {
  const auto bit = [status](int n) { return (status >> n & 1) != 0; };
  CheckOnZeroPower_ = bit(0);
  HiPowerEnabled_ = bit(1);
  RelaySense_ = bit(2);
  AlarmEnable_ = bit(3);
  LowPowerEnabled_ = bit(5);
  LatchAlarm_ = !bit(6);
  AlarmAtPowerUp_ = !bit(7);
  PushToTalkEnabled_ = bit(8);
  Relay2Sense_ = bit(9);
}

uint16_t TVSWR_Monitor::StatusCommand(MonitorFeature feature, std::string_view command) {
  if (!ModelSupports(ModelId_, FirmwareDate_, feature)) {
    DecodeStatus(0);
    return 0;
  }
  RxBuffer_.Clear();
  Send(command);
  return ProcessStatusInput(command[0]);
}

}  // namespace vemo
