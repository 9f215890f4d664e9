// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port component's test fixture: COM7 mapped to a fresh pty whose master plays the
// device.

#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PtyPeer.h"
#include "serial/ComPort.h"
#include "serial/ComWindow.h"

namespace vemo::test {

inline int OpenFdCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MapPort(7, peer.SlavePath());
    port.SetComNumber(7);
    port.SetBaud(9600);
  }
  void TearDown() override {
    TCustomComPort::SetPortSelector(nullptr);
    TComWindow::SetExceptionHandler(nullptr);
  }

  // What the application's error display would have shown.
  void CatchShownErrors() {
    TComWindow::SetExceptionHandler([this](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        shown.push_back(x.what());
      }
    });
  }

  // Queues output while the peer does not read, until some of it waits in the output
  // buffer; returns what was accepted.
  std::string FillOutput() {
    std::string accepted;
    uint32_t counter = 0;
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (port.OutBuffUsed() < 1000 && std::chrono::steady_clock::now() < deadline) {
      std::string b;
      for (size_t i = 0, n = std::min<size_t>(512, port.OutBuffFree()); i < n; ++i)
        b += char('a' + (counter++ % 26));
      if (b.empty()) break;
      port.SendString(b);
      accepted += b;
      std::this_thread::sleep_for(1ms);
    }
    return accepted;
  }

  std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::filesystem::path TempFile(const std::string& name) {
    auto file = std::filesystem::temp_directory_path() /
                ("vemo-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove(file);
    return file;
  }

  std::vector<std::string> shown;

  // The main window's way: read exactly what is announced.
  void CollectReceived() {
    port.SetOnTriggerAvail([this](TCustomComPort& cp, uint16_t count) {
      std::string block(count, '\0');
      cp.ReadBlock(block.data(), count);
      received += block;
    });
  }

  PtyPeer peer;
  TComPort port;
  std::string received;
};

}  // namespace vemo::test
