// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Settings forwarders that record each call as text, e.g. "SetPushToTalk(1, 0.94)", and can
// be told to fail at one of them.

#include <QString>

#include <string>
#include <vector>

#include "platform/Exception.h"
#include "ui/dialogs/SettingsForwarders.h"

namespace vemo::test {

class RecordingForwarders : public ISettingsForwarders {
 public:
  std::vector<std::string> calls;
  std::string failAt;  // name of the forwarder that raises, if any

  void SetCheckOnZeroPower(bool on) override { Record("SetCheckOnZeroPower", on); }
  void SetVSWRLevel(uint8_t levelIndex) override { Record("SetVSWRLevel", levelIndex); }
  void SetHighPowerAlarm(bool enable, int32_t level) override {
    Record("SetHighPowerAlarm", enable, level);
  }
  void SetLowPowerAlarm(bool enable, int32_t level) override {
    Record("SetLowPowerAlarm", enable, level);
  }
  void SetAlarmEnable(bool on) override { Record("SetAlarmEnable", on); }
  void SetRelaySense(bool on) override { Record("SetRelaySense", on); }
  void SetRelay2Sense(bool on) override { Record("SetRelay2Sense", on); }
  void SetLatchAlarm(bool on) override { Record("SetLatchAlarm", on); }
  void SetAlarmAtPowerUp(bool on) override { Record("SetAlarmAtPowerUp", on); }
  void SetPushToTalk(bool enable, float delaySeconds) override {
    Record("SetPushToTalk", enable, QString::number(delaySeconds).toStdString());
  }

 private:
  static std::string Text(bool v) { return v ? "1" : "0"; }
  static std::string Text(int v) { return std::to_string(v); }
  static std::string Text(const std::string& v) { return v; }

  void Check(const std::string& name) {
    if (name == failAt) throw Exception("Timeout in " + name + ".");
  }
  template <class A>
  void Record(const std::string& name, A a) {
    calls.push_back(name + "(" + Text(a) + ")");
    Check(name);
  }
  template <class A, class B>
  void Record(const std::string& name, A a, B b) {
    calls.push_back(name + "(" + Text(a) + ", " + Text(b) + ")");
    Check(name);
  }
};

}  // namespace vemo::test
