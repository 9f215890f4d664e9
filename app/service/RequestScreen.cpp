// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/RequestScreen.h"

#include <QList>

#include <algorithm>
#include <cctype>
#include <utility>

namespace vemo::service {

namespace {

Refusal BadRequest(const char* text) {
  return {400, "Bad Request", text};
}

// RFC 9110 token characters: a method or a header name.
bool IsToken(QByteArrayView text) {
  if (text.isEmpty()) return false;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
    if (!alnum && !QByteArrayView("!#$%&'*+-.^_`|~").contains(c)) return false;
  }
  return true;
}

bool HasControl(QByteArrayView text, bool tabAllowed) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && !(tabAllowed && c == '\t')) || b == 0x7F) return true;
  }
  return false;
}

bool HasToken(QByteArrayView list, QByteArrayView token) {
  for (const QByteArray& item : list.toByteArray().split(','))
    if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0) return true;
  return false;
}

}  // namespace

QByteArray RefusalResponse(const Refusal& refusal) {
  return "HTTP/1.1 " + QByteArray::number(refusal.Status) + ' ' + refusal.Reason +
         "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
         QByteArray::number(refusal.Text.size()) + "\r\nConnection: close\r\n\r\n" + refusal.Text;
}

std::optional<Refusal> RequestScreen::Feed(QByteArrayView bytes) {
  while (!bytes.isEmpty()) {
    if (state_ == State::Body) {
      const qint64 n = std::min<qint64>(bodyLeft_, bytes.size());
      bodyLeft_ -= n;
      bytes = bytes.sliced(n);
      if (bodyLeft_ == 0) {
        state_ = State::Idle;
        ++completed_;
      }
      continue;
    }
    if (state_ == State::Idle) state_ = State::RequestLine;
    const qsizetype end = bytes.indexOf('\n');
    const QByteArrayView part = end < 0 ? bytes : bytes.first(end);
    headBytes_ += part.size() + (end < 0 ? 0 : 1);
    if (headBytes_ > kMaxRequestBytes)
      return Refusal{413, "Payload Too Large", "Requests are limited to 64 KiB."};
    line_ += part;
    if (end < 0) return std::nullopt;
    bytes = bytes.sliced(end + 1);
    if (line_.endsWith('\r')) line_.chop(1);
    const QByteArray line = std::exchange(line_, {});
    if (auto refusal = Line(line)) return refusal;
  }
  return std::nullopt;
}

std::optional<Refusal> RequestScreen::Line(QByteArrayView line) {
  if (state_ == State::RequestLine) {
    // Empty lines before a request line are left over from the request before.
    if (line.isEmpty()) {
      headBytes_ = 0;
      state_ = State::Idle;
      return std::nullopt;
    }
    return RequestLine(line);
  }
  if (!line.isEmpty()) return Header(line);
  return EndOfHead();
}

std::optional<Refusal> RequestScreen::RequestLine(QByteArrayView line) {
  const QList<QByteArray> parts = line.toByteArray().split(' ');
  if (parts.size() != 3 || !IsToken(parts[0]) || parts[1].isEmpty() ||
      HasControl(parts[1], false) ||
      !(parts[1].startsWith('/') || parts[1] == "*" || parts[1].startsWith("http://")))
    return BadRequest("The request line is not METHOD /path HTTP/1.1.");
  const QByteArray& version = parts[2];
  if (version.size() != 8 || !version.startsWith("HTTP/") || version[6] != '.' ||
      !std::isdigit(static_cast<unsigned char>(version[5])) ||
      !std::isdigit(static_cast<unsigned char>(version[7])))
    return BadRequest("The request line is not METHOD /path HTTP/1.1.");
  if (version != "HTTP/1.1" && version != "HTTP/1.0")
    return Refusal{505, "HTTP Version Not Supported", "Use HTTP/1.1 or HTTP/1.0."};
  http10_ = version == "HTTP/1.0";
  keepAlive_ = close_ = transferEncoding_ = false;
  contentLength_.reset();
  authorizations_ = 0;
  state_ = State::Headers;
  return std::nullopt;
}

std::optional<Refusal> RequestScreen::Header(QByteArrayView line) {
  if (line.front() == ' ' || line.front() == '\t')
    return BadRequest("A header line is continued on the next line; send it on one line.");
  const qsizetype colon = line.indexOf(':');
  if (colon < 0) return BadRequest("A header line has no colon.");
  const QByteArrayView name = line.first(colon);
  const QByteArrayView value = line.sliced(colon + 1).trimmed();
  if (!IsToken(name)) return BadRequest("A header name is empty or holds a space.");
  if (HasControl(value, true)) return BadRequest("A header value holds a control character.");
  const auto is = [&](const char* key) { return name.compare(key, Qt::CaseInsensitive) == 0; };
  if (is("Content-Length")) {
    // "Content-Length: 5, 5" is the same length twice; any other difference is a second
    // request in disguise.
    for (const QByteArray& item : value.toByteArray().split(',')) {
      bool ok = false;
      const QByteArray digits = item.trimmed();
      const qint64 n = digits.toLongLong(&ok);
      if (!ok || n < 0 || digits.startsWith('+'))
        return BadRequest("Content-Length is not a number.");
      if (contentLength_ && *contentLength_ != n)
        return BadRequest("The request gives two different Content-Length values.");
      contentLength_ = n;
    }
  } else if (is("Transfer-Encoding")) {
    transferEncoding_ = true;
  } else if (is("Connection")) {
    close_ = close_ || HasToken(value, "close");
    keepAlive_ = keepAlive_ || HasToken(value, "keep-alive");
  } else if (is("Authorization")) {
    ++authorizations_;
  }
  return std::nullopt;
}

std::optional<Refusal> RequestScreen::EndOfHead() {
  if (transferEncoding_ && contentLength_)
    return BadRequest("The request gives both Content-Length and Transfer-Encoding.");
  if (transferEncoding_)
    return Refusal{501, "Not Implemented",
                   "Transfer-Encoding is not supported: send the body with Content-Length."};
  if (authorizations_ > 1) return BadRequest("The request has more than one Authorization header.");
  const qint64 body = contentLength_.value_or(0);
  if (headBytes_ + body > kMaxRequestBytes)
    return Refusal{413, "Payload Too Large", "Requests are limited to 64 KiB."};
  closeAfter_ = close_ || (http10_ && !keepAlive_);
  headBytes_ = 0;
  bodyLeft_ = body;
  state_ = body > 0 ? State::Body : State::Idle;
  if (body == 0) ++completed_;
  return std::nullopt;
}

}  // namespace vemo::service
