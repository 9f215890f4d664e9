// SPDX-License-Identifier: GPL-3.0-or-later
// Run: build/bench/bench_monitor (needs build/bin/vemoswr-sim; set VEMO_BIN_DIR elsewhere).
// "CPU" is the time of the whole process, serial threads included, per iteration.
#include "tests/monitor/SimLink.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace vemo::test {
namespace {

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::vector<std::string> SimArgs(std::initializer_list<std::string> extra) {
  std::vector<std::string> args{"--noise", "0", "--transcript", "/dev/null"};
  args.insert(args.end(), extra);
  return args;
}

// One reading as continuous polling takes it: "7" then "T", each a full exchange through
// the port, its threads and the data-available event, without baud pacing.
void BM_ContinuousReading(benchmark::State& state) {
  SimLink link(SimArgs({"--model", "KRFMON04"}));
  link.monitor.Identify();
  TMonitorReading reading;
  for (auto _ : state) {
    link.monitor.GetReading(reading);
    benchmark::DoNotOptimize(reading);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ContinuousReading)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// All settings as the options command reads them: eleven exchanges.
void BM_ReadAllSettings(benchmark::State& state) {
  SimLink link(SimArgs({"--model", "KRFMON04"}));
  link.monitor.Identify();
  TVSWR_Monitor& m = link.monitor;
  for (auto _ : state) {
    m.ReadLatchAlarm();
    m.ReadAlarmAtPowerUp();
    m.ReadRelaySense();
    m.ReadRelay2Sense();
    m.ReadAlarmEnable();
    m.ReadVSWRLevel();
    m.ReadCheckOnZeroPower();
    m.ReadHiPowerAlarm();
    m.ReadLowPowerAlarm();
    m.ReadPushToTalk();
    m.ReadDACGains();
  }
}
BENCHMARK(BM_ReadAllSettings)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Waiting for a monitor that never answers: the 2-second limit of "Z" in real time; the
// processor time it costs is reported as cpu_per_wait_ms and cpu_percent.
void BM_WaitForSilentMonitor(benchmark::State& state) {
  SimLink link(SimArgs({"--silent"}));
  double cpu = 0;
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    try {
      link.monitor.CommandZ();
    } catch (const std::exception&) {
    }
    cpu += ProcessCpuSeconds() - before;
  }
  state.counters["cpu_per_wait_ms"] =
      benchmark::Counter(cpu * 1000 / static_cast<double>(state.iterations()));
  state.counters["cpu_percent"] =
      benchmark::Counter(cpu * 100 / (2.0 * static_cast<double>(state.iterations())));
}
BENCHMARK(BM_WaitForSilentMonitor)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The session's own work per reading, with both replies already waiting in the buffer:
// framing, parsing and scaling, no serial layer and no wait.
class InstantPort : public IComSender {
 public:
  explicit InstantPort(TBuffer& buffer) : buffer_(buffer) {}
  void SendChar(char c) override {
    const std::string& reply = c == '7' ? fullScale_ : reading_;
    for (char b : reply) buffer_.Put(static_cast<uint8_t>(b));
  }
  void SendString(std::string_view) override {}

 private:
  TBuffer& buffer_;
  std::string fullScale_ = std::string("P=\x13\x88\x00\x03\r\n>", 9);
  std::string reading_ = "100.0,12.50 0\r\n>";
};

void BM_SessionParsingOnly(benchmark::State& state) {
  TBuffer buffer;
  InstantPort port(buffer);
  TVSWR_Monitor monitor(port, buffer);
  TMonitorReading reading;
  for (auto _ : state) {
    monitor.GetReading(reading);
    benchmark::DoNotOptimize(reading);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SessionParsingOnly);

}  // namespace
}  // namespace vemo::test

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
