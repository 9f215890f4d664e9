// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rig in the main window: Edit, "Rig…"; each reading placed on the rig's frequency and
// band and corrected for the band, with the band's alarm levels; the frequency, band and
// "corrected" in the status area; the transmit interlock (an interlock-enabled alarm
// unkeys first, "TX INHIBITED – acknowledge to release" until acknowledged, "Test
// Interlock"); View, "SWR Sweep…". Owned by the window; nothing here without a rig.

#include <QObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "monitor/VSWRMon.h"
#include "rig/Interlock.h"
#include "rig/Sweep.h"
#include "station/AppendingFile.h"
#include "station/ReadingCsv.h"
#include "station/StationRig.h"

class QAction;
class QMenu;

namespace vemo {

class ProfileFile;
class SweepDialog;
class TFormMain;

class MainRig : public QObject {
  Q_OBJECT

 public:
  explicit MainRig(TFormMain& form);
  ~MainRig() override;

  void CreateMenu(QMenu* commands);
  // [Rig], [Bands], [Alarms BAND] and [Corrections]; (re)starts the rig.
  void ReadSettings(const ProfileFile& ini);
  // The [Alarms] levels changed: the bands' levels fall back to the new ones.
  void AlarmLevelsChanged();
  // Stops a sweep and the rig: the window closes.
  void Shutdown();

  // Every reading from the monitor, before it is shown: on the rig's band, corrected.
  TMonitorReading Place(const TMonitorReading& raw);
  // Where the latest placed reading was taken; none without a rig.
  const TReadingPlace* LastPlace() const { return station_ ? &place_ : nullptr; }
  std::optional<TReadingPlace> StoredPlace() const {
    return station_ ? std::optional(place_) : std::nullopt;
  }
  // New files of the reading log get the place's columns.
  bool LogsPlace() const { return station_ != nullptr; }

  // Every batch of alarm events, before anything else is done about it.
  void AlarmEvents(const std::vector<TAlarmEvent>& events);
  void Acknowledged();

  void ShowRigDialog();
  void TestInterlock();
  void ShowSweep();

  StationRig* Station() const { return station_.get(); }
  bool Inhibited() const { return station_ && station_->Latched(); }
  SweepDialog* Sweep() const { return sweep_; }
  // A fresh reading for the sweep: the first one placed after the call, none when the
  // meter gives none in time or control is aborted. Any thread but the window's.
  std::optional<TSweepReading> NextReading(SweepControl& control);

  QAction* actRig = nullptr;
  QAction* actTestInterlock = nullptr;
  QAction* actSweep = nullptr;

 private:
  void Start(const TRigSettings& settings, BandPlan bands);
  void Interlocked(const std::vector<TInterlockEvent>& events);
  void RigChanged(const TRigState& state);
  void ShowStatus();
  TBandSettings ReadBands() const;

  TFormMain& form_;
  std::unique_ptr<StationRig> station_;
  std::unique_ptr<AppendingFile> interlockLog_;
  TReadingPlace place_;
  bool corrected_ = false;
  TRigState rigState_;
  SweepDialog* sweep_ = nullptr;
  // The readings handed to a sweep.
  std::mutex readingMutex_;
  std::condition_variable readingCame_;
  std::uint64_t readingCount_ = 0;
  TSweepReading latest_;
  // How long a sweep waits for a reading before the meter counts as lost: a few polling
  // intervals, at least 3 s; kept here since the sweep's thread may not ask the window.
  int readingLimitMs_ = 3000;
};

}  // namespace vemo
