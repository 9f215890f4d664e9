// SPDX-License-Identifier: GPL-3.0-or-later
// VemoSWR: the PC front-end of an in-line RF power and VSWR monitor on a serial port.
#include <QApplication>

#include <csignal>
#include <cstdio>

#include "app/ProgramOptions.h"
#include "platform/SignalStop.h"
#include "platform/Version.h"
#include "ui/main/Main.h"
#include "ui/main/MainForms.h"

int main(int argc, char** argv) {
  // A session that ends (logout, shutdown, the terminal closed) asks with a signal: end as
  // the File menu's Exit does, so the settings are saved and the port and its lock go.
  // Blocked before Qt starts any thread of its own.
  const auto stopSignals = {SIGTERM, SIGINT, SIGHUP};
  vemo::SignalStop::BlockSignals(stopSignals);

  // The command line is checked, and --help answered, before a display is needed and
  // before the window reads or writes any settings.
  vemo::ProgramOptions options;
  try {
    options = vemo::ParseProgramOptions(
        vemo::WithoutToolkitOptions(std::vector<std::string>(argv + 1, argv + argc)));
  } catch (const vemo::ProgramUsageError& e) {
    std::fprintf(stderr, "VemoSWR: %s\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(vemo::ProgramUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("VemoSWR %s\n%s", vemo::kVersion, vemo::kLicenceNotice);
    return 0;
  }
  QApplication app(argc, argv);

  vemo::InitApplication();
  // Where nobody is there to answer a message box: report it on standard error and go on.
  const auto unattended = [](QMessageBox::Icon, const QString& text,
                             QMessageBox::StandardButtons buttons) {
    std::fprintf(stderr, "VemoSWR: %s\n",
                 qPrintable(QString(text).replace(QChar('\r'), QChar(' '))));
    return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
  };
  const QString screenshot = qEnvironmentVariable("VEMOSWR_SCREENSHOT");
  if (!screenshot.isEmpty()) vemo::TFormMain::SetMessageBoxHook(unattended);

  // Nobody may be there to answer a box about a monitor that is not there yet.
  vemo::TFormMain::SetUnattendedStart(options.continuous);
  // Watched from here on: the window's creation may already wait on a message box.
  vemo::TFormMain* mainWindow = nullptr;
  bool stopRequested = false;
  const vemo::SignalStop signalStop(stopSignals, [&](int) {
    stopRequested = true;
    // A stop by signal waits for nobody: a settings file that cannot be written, say, is
    // reported on standard error and the program ends all the same.
    vemo::TFormMain::SetMessageBoxHook(unattended);
    // A dialog's own event loop is running: close those first, so that the window's close
    // is not left waiting behind one.
    for (int i = 0; i < 8 && QApplication::activeModalWidget(); ++i)
      QApplication::activeModalWidget()->close();
    if (mainWindow) mainWindow->mnuFileExit->trigger();
  });
  const auto forms = vemo::CreateApplicationForms();
  vemo::TFormMain& main = *forms->FormMain;
  if (stopRequested) return 0;  // the window saves its settings as it goes
  mainWindow = &main;
  if (options.intervalMs) main.SetPollingInterval(*options.intervalMs);
  if (options.logFile) main.StartLogging(QString::fromStdString(*options.logFile), main.LogDaily());
  if (options.alarmLogFile) main.SetAlarmLogPath(QString::fromStdString(*options.alarmLogFile));
  main.show();
  if (options.continuous) main.mnuCommands_R->trigger();
  if (!screenshot.isEmpty()) vemo::ScheduleScreenshot(main, screenshot, 3000);
  return app.exec();
}
