// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's windows, created the way the program entry has always created them: the
// main window first, then the dialogs (hidden until a command shows one modally), all
// living until the program ends.

#include <QString>

#include <memory>

namespace vemo {

class TFormMain;
class TdlgAbout;
class TdlgCalWizard;
class TdlgComm;
class TdlgOptions;
class TdlgOptionsDualRelay;

struct TApplicationForms {
  TApplicationForms();
  ~TApplicationForms();  // the dialogs go before the main window they refer to
  TApplicationForms(const TApplicationForms&) = delete;
  TApplicationForms& operator=(const TApplicationForms&) = delete;

  std::unique_ptr<TFormMain> FormMain;
  std::unique_ptr<TdlgComm> dlgComm;
  std::unique_ptr<TdlgAbout> dlgAbout;
  std::unique_ptr<TdlgCalWizard> dlgCalWizard;
  std::unique_ptr<TdlgOptions> dlgOptions;
  std::unique_ptr<TdlgOptionsDualRelay> dlgOptionsDualRelay;
};

// The help file shipped with the program (embedded; a copy beside the executable wins).
inline constexpr char kHelpFileName[] = "VemoSWR.html";

// Application-wide settings made once before any window exists: the title "VemoSWR", the
// help file, and the port selection dialog the serial port asks with when it has no number.
void InitApplication();

// Creates the main window (which reads its settings and connects to the monitor) and then
// the dialogs, and hands the dialogs to the main window.
std::unique_ptr<TApplicationForms> CreateApplicationForms();

// Screenshot mode: starts continuous readings, shows the meter and, delayMs later, saves
// a picture of the main window to path as PNG and closes the window (which ends the
// program). Returns at once.
void ScheduleScreenshot(TFormMain& form, const QString& path, int delayMs);

}  // namespace vemo
