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
  QApplication app(argc, argv);  // takes Qt's own options (-platform, ...) out first

  // The command line is checked before the window reads or writes any settings.
  std::vector<std::string> args;
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
  vemo::ProgramOptions options;
  try {
    options = vemo::ParseProgramOptions(args);
  } catch (const vemo::ProgramUsageError& e) {
    std::fprintf(stderr, "VemoSWR: %s\n", e.what());
    return 2;
  }
  if (options.help) {
    std::fputs(vemo::ProgramUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("VemoSWR %s\n", vemo::kVersion);
    return 0;
  }

  vemo::InitApplication();
  const QString screenshot = qEnvironmentVariable("VEMOSWR_SCREENSHOT");
  if (!screenshot.isEmpty()) {
    // Nobody is there to answer a message box: report it and go on.
    vemo::TFormMain::SetMessageBoxHook(
        [](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons buttons) {
          qWarning("VemoSWR: %s", qPrintable(QString(text).replace(QChar('\r'), QChar(' '))));
          return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
        });
  }

  // Nobody may be there to answer a box about a monitor that is not there yet.
  vemo::TFormMain::SetUnattendedStart(options.continuous);
  // Watched from here on: the window's creation may already wait on a message box.
  vemo::TFormMain* mainWindow = nullptr;
  bool stopRequested = false;
  const vemo::SignalStop signalStop(stopSignals, [&](int) {
    stopRequested = true;
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
