// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A session on a scripted port, with helpers to identify it as a given model.

#include "ScriptedPort.h"
#include "monitor/VSWRMon.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vemo::test {

inline std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no exception)";
}

class SessionTest : public ::testing::Test {
 protected:
  // Identifies the session as model with a firmware date "mm/dd/yy" and forgets the sends.
  void IdentifyAs(const std::string& model, const std::string& date = "06/01/12") {
    port.Answer(IdReply(model, date));
    monitor.CommandI();
    port.ClearSent();
  }

  TBuffer buffer;
  ScriptedPort port{buffer};
  TVSWR_Monitor monitor{port, buffer};
};

// A session whose clock runs ten times fast, for tests of the reply time limits.
class FastSessionTest : public ::testing::Test {
 protected:
  TBuffer buffer;
  ScriptedPort port{buffer};
  FastClock clock{10};
  TVSWR_Monitor monitor{port, buffer, clock};
};

}  // namespace vemo::test
