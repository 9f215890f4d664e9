// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the service publishes: the broker's address and credentials, from a URL
//
//   mqtt://[USER[:PASSWORD]@]HOST[:PORT][/]     plain TCP, port 1883 by default
//   mqtts://[USER[:PASSWORD]@]HOST[:PORT][/]    TLS, port 8883 by default
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets. USER and PASSWORD may
// carry any byte percent-encoded ("p%40ss" for "p@ss") except NUL. The CA file for mqtts
// is not part of the URL; the caller sets CaFile.

#include <optional>
#include <string>
#include <string_view>

namespace vemo {

struct TMqttOptions {
  std::string Host;
  int Port = 1883;
  std::string User;      // empty: connect without credentials
  std::string Password;  // sent only with a user
  bool Tls = false;
  std::string CaFile;    // TLS: the CA certificates in PEM; empty = the system's trust store
  std::string ClientId;  // each monitor's connection is ClientId-NAME; empty = vemoswrd-PID
  std::string TopicPrefix = "vemoswr";
  std::string DiscoveryPrefix = "homeassistant";
  // Starts the unique ids, device identifiers and discovery topics of this installation's
  // entities, so that two installations on one broker do not take each other's: the
  // service derives one from the machine id. "vemoswr" gives the ids of older versions.
  std::string IdPrefix = "vemoswr";
};

constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;

// The options a URL names, or nullopt with a message for the user in *error (which may be
// null). Messages never repeat the password.
std::optional<TMqttOptions> ParseMqttUrl(std::string_view url, std::string* error);

}  // namespace vemo
