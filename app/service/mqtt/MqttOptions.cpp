// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/mqtt/MqttOptions.h"

#include <charconv>

namespace vemo {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The client library takes C strings: a decoded NUL would silently cut the credential.
std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = HexDigit(text[i + 1]);
    const int lo = HexDigit(text[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

std::nullopt_t Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return std::nullopt;
}

}  // namespace

std::optional<TMqttOptions> ParseMqttUrl(std::string_view url, std::string* error) {
  TMqttOptions options;
  constexpr std::string_view kUsage = ": use mqtt://[user:password@]host[:port] or mqtts://…";
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) {
    return Fail(error, std::string("The MQTT address is not a URL") + std::string(kUsage));
  }
  const std::string_view scheme = url.substr(0, schemeEnd);
  if (scheme == "mqtts") {
    options.Tls = true;
    options.Port = kMqttsPort;
  } else if (scheme != "mqtt") {
    return Fail(error, "The MQTT address has an unknown scheme \"" + std::string(scheme) + "\"" +
                           std::string(kUsage));
  }

  std::string_view rest = url.substr(schemeEnd + 3);
  const size_t pathStart = rest.find_first_of("/?#");
  if (pathStart != std::string_view::npos) {
    if (rest.substr(pathStart) != "/") {
      return Fail(error,
                  "The MQTT address may not have a path, query or fragment" + std::string(kUsage));
    }
    rest = rest.substr(0, pathStart);
  }

  // A password may hold '@' only percent-encoded, but people paste it raw: the host starts
  // after the last one.
  const size_t at = rest.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view userInfo = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const size_t colon = userInfo.find(':');
    const auto user = PercentDecode(userInfo.substr(0, colon));
    if (!user || user->empty()) {
      return Fail(error,
                  "The MQTT address has an empty or badly encoded user name" + std::string(kUsage));
    }
    options.User = *user;
    if (colon != std::string_view::npos) {
      const auto password = PercentDecode(userInfo.substr(colon + 1));
      if (!password) {
        return Fail(
            error,
            "The MQTT address has a badly encoded password: write a special character as %XX");
      }
      options.Password = *password;
    }
  }

  std::optional<std::string_view> port;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos || close == 1) {
      return Fail(error, "The MQTT address has an unterminated or empty [IPv6 address]");
    }
    options.Host = std::string(rest.substr(1, close - 1));
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') {
        return Fail(error,
                    "The MQTT address has text after the [IPv6 address]" + std::string(kUsage));
      }
      port = after.substr(1);
    }
  } else {
    const size_t colon = rest.find(':');
    options.Host = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
    }
  }
  if (options.Host.empty()) {
    return Fail(error, "The MQTT address has no host name" + std::string(kUsage));
  }
  if (options.Host.find_first_of(" \t%[]") != std::string::npos) {
    return Fail(error, "The MQTT address has a malformed host name \"" + options.Host + "\"");
  }
  if (port) {
    int value = 0;
    const char* last = port->data() + port->size();
    const auto [end, ec] = std::from_chars(port->data(), last, value);
    if (port->empty() || ec != std::errc() || end != last || value < 1 || value > 65535) {
      return Fail(error, "The MQTT address has an invalid port \"" + std::string(*port) +
                             "\": give a number from 1 to 65535");
    }
    options.Port = value;
  }
  return options;
}

}  // namespace vemo
