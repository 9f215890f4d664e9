// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window for operators who do not watch it: what screen readers read (each
// read-out named with its unit, the dial's value, the alarm panel's state, a new alarm
// announced at once), the talking meter, the tuning tone, Morse on demand, and the
// shortcut table in Help. Owned by the window; holds no state the window relies on.

#include <QObject>
#include <QString>

#include <memory>

#include "station/TuningPitch.h"

class QAction;
class QLabel;
class QActionGroup;
class QLineEdit;
class QMenu;
class QTimer;

namespace vemo {

class DialAnnouncer;
class Speaker;
class TFormMain;
class TuningTonePlayer;
struct TReadout;

// "Forward Power (KW):" -> "Forward power, kilowatts": a read-out's caption as a screen
// reader should say it.
QString ReadoutAccessibleName(const QString& caption);

class MainAccessibility : public QObject {
  Q_OBJECT

 public:
  explicit MainAccessibility(TFormMain& form);
  ~MainAccessibility() override;

  // Adds the speech, tone and Morse commands to menu (and the shortcut table to help).
  void CreateMenu(QMenu* menu, QMenu* help);
  // The speech choices kept in the settings file.
  void ReadChoices();
  // Every reading shown on the read-outs.
  void Shown(double forward, double reflected, const TReadout& readout, bool plausible);
  // The alarms changed: the panel's description, and an announcement for a new trip.
  void AlarmsChanged();

  void SpeakReading();
  void ToggleTuningTone();
  void SendMorse();
  void ShowShortcuts();

  QAction* actSpeak = nullptr;
  QActionGroup* actSpeakEvery = nullptr;  // data: the period in seconds, 0 = off
  QAction* actSpeakChanges = nullptr;
  QAction* actSpeakAlarms = nullptr;
  QAction* actTuningTone = nullptr;
  QAction* actMorse = nullptr;
  QAction* actShortcuts = nullptr;

  // VSWR must move by more than this for "Speak Changes" to speak.
  static constexpr double kSpokenVSWRStep = 0.1;

 private:
  void NameControls();
  void NameReadouts();
  void Say(const QString& text);
  void Note(const QString& message);
  void SaveChoices();

  TFormMain& form_;
  std::unique_ptr<Speaker> speaker_;
  std::unique_ptr<TuningTonePlayer> tone_;
  std::unique_ptr<DialAnnouncer> dialAnnouncer_;
  TuningTracker tracker_;
  QTimer* speakTimer_ = nullptr;
  QLabel* notice_ = nullptr;  // shown with each new alarm, for screen readers to announce
  double forward_ = 0, reflected_ = 0, vswr_ = 0;
  bool haveReading_ = false;
  double lastSpokenVSWR_ = -1;
  int activeAlarms_ = 0;
  bool everAlarmed_ = false;
};

}  // namespace vemo
