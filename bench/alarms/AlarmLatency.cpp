// SPDX-License-Identifier: GPL-3.0-or-later
// alarm_latency [RUNS [INTERVAL_MS]]: the main window polls the simulated monitor; the
// simulator's reflected power is raised until the VSWR alarm trips and lowered until it
// clears, RUNS times (50). Each time, from the simulator's reply that carried the high
// reading (its transcript's t_ms) to the alarm panel lighting up and to the window's play
// request, in milliseconds: min/median/p95/p99/max. The alarm log's line is written in
// the same call, before both. Both should come within one polling interval.
//
// The simulator stamps its transcript on its own monotonic clock, counted from its start;
// a power cycle, answered at once, ties that count to ours within the round trip, which
// is printed too.
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/SimProcess.h"
#include "ui/alarms/AlarmPlayer.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"

namespace {

using vemo::test::SimProcess;
using vemo::test::TranscriptEntry;

double SteadyMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Notes the time of each play request.
class TimingPlayer : public vemo::AlarmPlayer {
 public:
  explicit TimingPlayer(std::vector<double>& plays) : plays_(plays) {}
  void Play() override {
    if (playing_) return;
    playing_ = true;
    plays_.push_back(SteadyMs());
  }
  void Stop() override { playing_ = false; }

 private:
  std::vector<double>& plays_;
  bool playing_ = false;
};

// Notes the time the program's alarm indication over the panel is shown.
class ShowTimes : public QObject {
 public:
  explicit ShowTimes(std::vector<double>& shows) : shows_(shows) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    // ShowToParent: the window itself need not be on a screen.
    if (event->type() == QEvent::ShowToParent) shows_.push_back(SteadyMs());
    return QObject::eventFilter(watched, event);
  }

 private:
  std::vector<double>& shows_;
};

double Percentile(std::vector<double> sorted, double p) {
  const size_t i = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(i, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
  const int intervalMs = argc > 2 ? std::atoi(argv[2]) : vemo::kDefaultPollingIntervalMs;
  if (runs <= 0 || !vemo::IsPollingInterval(intervalMs)) {
    std::fprintf(stderr, "usage: alarm_latency [RUNS [INTERVAL_MS]]\n");
    return 2;
  }

  QTemporaryDir dir;
  SimProcess sim;
  const std::string device =
      sim.Start({"--noise", "0", "--status", "00C0", "--forward", "100", "--reflected", "1"});
  const std::string ini = dir.filePath("VemoSWR.ini").toStdString();
  std::ofstream(ini) << "[Ports]\nCOM1=" << device << "\n[Communication]\nComPort=1\n"
                     << "[Station]\nPollingInterval=" << intervalMs << "\n"
                     << "[Alarms]\nVSWRAbove=2\nKeyedAbove=10\n";
  qputenv("VEMOSWR_INI", QByteArray::fromStdString(ini));

  // The simulator's t_ms = our steady time - offset.
  const double before = SteadyMs();
  sim.PowerCycle();
  const double after = SteadyMs();
  const std::vector<TranscriptEntry> start = sim.Transcript();
  const auto cycle = std::find_if(start.rbegin(), start.rend(), [](const TranscriptEntry& e) {
    return e.dir == "event" && e.text == "power cycle";
  });
  if (cycle == start.rend()) {
    std::fprintf(stderr, "alarm_latency: the simulator's transcript has no power cycle\n");
    return 1;
  }
  const double offset = (before + after) / 2 - static_cast<double>(cycle->tMs);

  std::vector<double> plays;
  vemo::SetAlarmPlayerFactory(
      [&plays](vemo::AlarmPlayer::Problem) { return std::make_unique<TimingPlayer>(plays); });
  vemo::TFormMain::SetMessageBoxHook(
      [](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
        std::fprintf(stderr, "alarm_latency: %s\n", qPrintable(text));
        return QMessageBox::Ok;
      });
  vemo::TFormMain form;
  std::vector<double> shows;
  ShowTimes showTimes(shows);
  QWidget* flash = form.pnlAlarm->findChild<QWidget*>(QStringLiteral("pnlAlarmFlash"));
  if (!flash) {
    std::fprintf(stderr, "alarm_latency: the alarm panel has no indication\n");
    return 1;
  }
  flash->installEventFilter(&showTimes);
  form.mnuCommands_R->trigger();

  std::vector<double> latencies, panel;
  for (int run = 0; run < runs; ++run) {
    sim.SetReflected(1);
    if (!QTest::qWaitFor(
            [&] {
              return form.Alarms().Evaluator().State(vemo::AlarmSource::VSWRAbove) ==
                     vemo::AlarmState::Normal;
            },
            10 * intervalMs + 2000)) {
      std::fprintf(stderr, "alarm_latency: the alarm did not clear\n");
      return 1;
    }
    const size_t played = plays.size();
    shows.clear();
    sim.SetReflected(30);  // VSWR 3.4
    if (!QTest::qWaitFor([&] { return plays.size() > played; }, 10 * intervalMs + 2000)) {
      std::fprintf(stderr, "alarm_latency: the alarm did not sound\n");
      return 1;
    }
    const double play = plays.back();
    form.mnuCommandsAcknowledge->trigger();
    // The reply that tripped it is the last reading sent before the play request. The
    // simulator stamps a reply once its last byte is out, and on a busy machine it may be
    // descheduled before it does while the window already reads the reply: allow half an
    // interval of that (the next reply comes a whole interval later).
    const std::vector<TranscriptEntry> t = sim.Transcript();
    double reply = -1;
    for (const TranscriptEntry& e : t)
      if (e.dir == "tx" && e.cmd == "T" &&
          static_cast<double>(e.tMs) + offset <= play + intervalMs / 2.0)
        reply = static_cast<double>(e.tMs) + offset;
    if (reply < 0) {
      std::fprintf(stderr, "alarm_latency: no reply before the play request\n");
      return 1;
    }
    latencies.push_back(play - reply);
    if (!shows.empty()) panel.push_back(shows.front() - reply);
  }
  form.mnuCommands_T->trigger();

  std::printf("%d runs, polling every %d ms (clock tie +-%.2f ms):\n", runs, intervalMs,
              (after - before) / 2 + 0.5);
  bool within = true;
  for (auto [name, figures] :
       {std::pair{"reply -> panel", &panel}, std::pair{"reply -> play request", &latencies}}) {
    std::vector<double>& f = *figures;
    if (f.empty()) continue;
    std::sort(f.begin(), f.end());
    std::printf("%-22s min %.2f ms  median %.2f ms  p95 %.2f ms  p99 %.2f ms  max %.2f ms\n", name,
                f.front(), Percentile(f, 0.5), Percentile(f, 0.95), Percentile(f, 0.99), f.back());
    within = within && f.back() < intervalMs;
  }
  std::printf("within one polling interval: %s\n", within ? "yes" : "NO");
  vemo::SetAlarmPlayerFactory({});
  return 0;
}
