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

// Longest single wait between looks at the wall clock.
constexpr std::chrono::milliseconds kMaxWaitSlice{200};

// The prefix that drops stray bytes ahead of an identification.
void AlignIdentification(std::string& reply) {
  const size_t p = FindAcceptedIdentification(reply);
  if (p != std::string::npos && p > 0) reply.erase(0, p);
}

}  // namespace

bool TakeReplyBytes(TBuffer& buffer, std::string& reply, size_t length) {
  while (reply.size() < length && buffer.Count() > 0)
    reply.push_back(static_cast<char>(buffer.Get()));
  return reply.size() >= length;
}

WallTime ReplyDeadline(const Clock& clock, double seconds) {
  return clock.Now() +
         std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(seconds));
}

std::chrono::milliseconds ReplyWaitSlice(std::chrono::nanoseconds remaining) {
  const auto slice = std::min<std::chrono::nanoseconds>(remaining, kMaxWaitSlice);
  // Rounded up so that the wait never ends just before the deadline and spins.
  return std::chrono::ceil<std::chrono::milliseconds>(slice) + std::chrono::milliseconds(1);
}

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
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&RxBuffer_, &TBuffer::Appended, &loop, &QEventLoop::quit);
  timer.start(ReplyWaitSlice(limit));
  loop.exec();
}

void TVSWR_Monitor::ReadInto(std::string& text, size_t count, double timeoutSeconds,
                             const char* timeoutMessage) {
  const WallTime deadline = ReplyDeadline(clock_, timeoutSeconds);
  while (!TakeReplyBytes(RxBuffer_, text, count)) {
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

void TVSWR_Monitor::SendExchange(const TExchange& exchange) {
  if (exchange.ClearFirst) RxBuffer_.Clear();
  if (exchange.Command.size() == 1)
    Send(exchange.Command[0]);
  else
    Send(exchange.Command);
}

std::string TVSWR_Monitor::Exchange(const TExchange& exchange) {
  SendExchange(exchange);
  std::string reply = ReadReply(static_cast<int>(exchange.ReplyLength), exchange.LimitSeconds);
  if (exchange.Align) {
    exchange.Align(reply);
    ReadInto(reply, exchange.ReplyLength, exchange.LimitSeconds);
  }
  return reply;
}

void TVSWR_Monitor::AlignOnPrefix(std::string& reply, std::string_view prefix,
                                  const char* operation) {
  const size_t p = reply.find(prefix);
  if (p == std::string::npos)
    throw Exception("Unexpected result" + reply + " in " + operation + ".");
  reply.erase(0, p);
}

void TVSWR_Monitor::Realign(std::string& reply, std::string_view prefix, double timeoutSeconds,
                            const char* operation) {
  // Stray characters came before the reply: drop them and read as many again.
  const size_t length = reply.size();
  AlignOnPrefix(reply, prefix, operation);
  ReadInto(reply, length, timeoutSeconds);
}

int32_t TVSWR_Monitor::ValueAfterPrefix(const std::string& reply) {
  const size_t end = reply.find("\r\n", 2);
  return StrToInt(std::string_view(reply).substr(2, end == std::string::npos ? end : end - 2));
}

bool TVSWR_Monitor::Identify() {
  return IsAcceptedIdentification(CommandI());
}

TExchange TVSWR_Monitor::IdentificationExchange() {
  // A stray byte ahead of the identification would shift every field: the reply starts
  // at the first accepted model prefix.
  return {"I", true, 40, 4, AlignIdentification};
}

std::string TVSWR_Monitor::CommandI() {
  try {
    std::string reply = Exchange(IdentificationExchange());
    ApplyIdentification(reply);
    return reply;
  } catch (...) {
    ForgetIdentification();
    throw;
  }
}

void TVSWR_Monitor::ApplyIdentification(const std::string& reply) {
  if (reply.size() < 16 || reply[10] != '/' || reply[13] != '/')
    throw Exception("Unexpected result" + reply + " in CommandI.");
  const int yy = StrToInt(std::string_view(reply).substr(14, 2));
  const int year = yy <= 80 ? 2000 + yy : 1900 + yy;
  const TDateTime date = StrToDate(reply.substr(8, 6) + std::to_string(year));
  ModelId_ = reply.substr(0, 8);
  FirmwareDate_ = date;
}

void TVSWR_Monitor::ForgetIdentification() {
  // A monitor that could not be identified gets none of the model-dependent commands.
  ModelId_.clear();
  FirmwareDate_ = EncodeDate(1980, 1, 1);
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
