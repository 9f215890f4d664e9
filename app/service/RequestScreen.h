// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the bytes of one HTTP connection as they arrive, ahead of the HTTP server's own
// parser, and refuses what that parser would let through or misread: a malformed request
// line, a header line without a colon or folded onto the line before, differing
// Content-Length values, a body framed both by length and by Transfer-Encoding (the rest
// would run as a second request), two Authorization headers, and requests larger than
// kMaxRequestBytes. It also tells where each request ends, whether the client asked for
// the connection to close after the answer, and whether it asked for HEAD.
//
// Pure: nothing here touches a socket, so any byte string can be fed to it.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vemo::service {

struct Refusal {
  int Status = 400;   // 400, 413, 501 or 505
  QByteArray Reason;  // the status line's reason phrase
  QByteArray Text;    // one sentence for the person or script that sent it
};

// The response that carries a refusal, with Connection: close.
QByteArray RefusalResponse(const Refusal& refusal);

class RequestScreen {
 public:
  static constexpr qint64 kMaxRequestBytes = 64 * 1024;

  // Takes the next bytes of the connection. A refusal ends the connection: feed nothing
  // more after one.
  std::optional<Refusal> Feed(QByteArrayView bytes);

  // Between the first byte of a request and the last byte of its body.
  bool InRequest() const { return state_ != State::Idle; }
  // Requests completed so far.
  int Completed() const { return completed_; }
  // Of the latest request whose head was complete: the client wants the connection
  // closed after the answer (Connection: close, or HTTP/1.0 without keep-alive).
  bool CloseAfter() const { return closeAfter_; }

 private:
  enum class State { Idle, RequestLine, Headers, Body };

  std::optional<Refusal> Line(QByteArrayView line);
  std::optional<Refusal> RequestLine(QByteArrayView line);
  std::optional<Refusal> Header(QByteArrayView line);
  std::optional<Refusal> EndOfHead();

  State state_ = State::Idle;
  QByteArray line_;  // the line being received, without its end
  qint64 headBytes_ = 0;
  qint64 bodyLeft_ = 0;
  int completed_ = 0;
  // Of the head being read:
  bool http10_ = false;
  bool closeAfter_ = false;
  bool keepAlive_ = false;
  bool close_ = false;
  std::optional<qint64> contentLength_;
  bool transferEncoding_ = false;
  int authorizations_ = 0;
};

}  // namespace vemo::service
