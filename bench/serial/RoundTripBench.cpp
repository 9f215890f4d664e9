// SPDX-License-Identifier: GPL-3.0-or-later
// Latency of one monitor-style exchange over a pty: send one byte, the peer answers with
// 16 bytes, the answer reaches a handler on the GUI thread. TComPort's figure is set next
// to a minimal raw poll()/read() loop on the same pty (the floor). Reports median and p99
// per exchange; the idle benchmark reports the CPU share of an open port doing nothing.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "serial/ComPort.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kReplySize = 16;

// The far end: answers every byte with a 16-byte reply, like the monitor's "T".
class EchoPeer {
 public:
  EchoPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) || ::unlockpt(master_))
      throw std::runtime_error("no pty");
    termios t;
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    char name[128];
    ::ptsname_r(master_, name, sizeof name);
    slave_ = name;
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoPeer() {
    uint64_t one = 1;
    (void)!::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
    ::close(master_);
  }
  const std::string& SlavePath() const { return slave_; }

 private:
  void Run() {
    const char reply[kReplySize + 1] = "0012.3 0001.2 N\r";
    for (;;) {
      pollfd p[2] = {{master_, POLLIN, 0}, {stop_, POLLIN, 0}};
      ::poll(p, 2, -1);
      if (p[1].revents) return;
      char in[64];
      ssize_t n = ::read(master_, in, sizeof in);
      for (ssize_t i = 0; i < n; ++i) (void)!::write(master_, reply, kReplySize);
    }
  }

  int master_ = -1, stop_ = -1;
  std::string slave_;
  std::thread thread_;
};

void Report(benchmark::State& state, std::vector<double>& us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void MapPort(int n, const std::string& path) {
  auto file = std::filesystem::temp_directory_path() /
              ("vemo-bench-" + std::to_string(::getpid()) + ".ini");
  std::ofstream(file) << "[Ports]\nCOM" << n << "=" << path << "\n";
  ::setenv("VEMOSWR_INI", file.c_str(), 1);
}

void BM_RawRoundTrip(benchmark::State& state) {
  EchoPeer peer;
  int fd = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t;
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  std::vector<double> us;
  for (auto _ : state) {
    auto start = Clock::now();
    (void)!::write(fd, "T", 1);
    size_t got = 0;
    char buf[64];
    while (got < kReplySize) {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 1000);
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) got += size_t(n);
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  ::close(fd);
  Report(state, us);
}

// The least any background reader that delivers on the GUI thread costs: one thread
// blocked in poll() reads the reply and wakes the GUI thread's event loop through an
// eventfd; no rings, no answer, no triggers.
void BM_ThreadedFloorRoundTrip(benchmark::State& state) {
  EchoPeer peer;
  int fd = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t;
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  int stop = ::eventfd(0, EFD_CLOEXEC);
  std::mutex lock;
  size_t pending = 0;
  std::thread reader([&] {
    for (;;) {
      pollfd p[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
      ::poll(p, 2, -1);
      if (p[1].revents) return;
      char buf[64];
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) continue;
      {
        std::lock_guard g(lock);
        pending += size_t(n);
      }
      uint64_t one = 1;
      (void)!::write(wake, &one, sizeof one);
    }
  });
  QEventLoop loop;
  size_t got = 0;
  QSocketNotifier notifier(wake, QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
    uint64_t count;
    (void)!::read(wake, &count, sizeof count);
    std::lock_guard g(lock);
    got += std::exchange(pending, 0);
    if (got >= kReplySize) loop.quit();
  });
  std::vector<double> us;
  for (auto _ : state) {
    got = 0;
    auto start = Clock::now();
    (void)!::write(fd, "T", 1);
    loop.exec();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  uint64_t one = 1;
  (void)!::write(stop, &one, sizeof one);
  reader.join();
  ::close(wake);
  ::close(stop);
  ::close(fd);
  Report(state, us);
}

void BM_ComPortRoundTrip(benchmark::State& state) {
  EchoPeer peer;
  MapPort(1, peer.SlavePath());
  vemo::TComPort port;
  port.SetComNumber(1);
  port.SetBaud(9600);
  QEventLoop loop;
  size_t got = 0;
  port.SetOnTriggerAvail([&](vemo::TCustomComPort& cp, uint16_t count) {
    char buf[32768];
    cp.ReadBlock(buf, count);
    got += count;
    if (got >= kReplySize) loop.quit();
  });
  port.SetOpen(true);
  std::vector<double> us;
  for (auto _ : state) {
    got = 0;
    auto start = Clock::now();
    port.SendChar('T');
    loop.exec();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  port.SetOpen(false);
  Report(state, us);
}

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_IdleOpenPortCpu(benchmark::State& state) {
  EchoPeer peer;
  MapPort(1, peer.SlavePath());
  vemo::TComPort port;
  port.SetComNumber(1);
  port.SetOnTriggerAvail([](vemo::TCustomComPort&, uint16_t) {});
  port.SetOpen(true);
  double share = 0;
  for (auto _ : state) {
    double cpu = CpuSeconds();
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    share = (CpuSeconds() - cpu) / wall * 100.0;
  }
  state.counters["cpu_percent"] = share;
}

BENCHMARK(BM_RawRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_ThreadedFloorRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_ComPortRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_IdleOpenPortCpu)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
