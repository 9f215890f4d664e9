// VemoSWR: the PC front-end of an in-line RF power and VSWR monitor on a serial port.
#include <QApplication>
#include <QCommandLineParser>

#include "ui/main/Main.h"
#include "ui/main/MainForms.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vemo::InitApplication();

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Shows the readings of an RF power and VSWR monitor on a serial port.\n"
      "The settings file is VemoSWR.ini beside the program, or the file named by the\n"
      "environment variable VEMOSWR_INI; VEMOSWR_SCREENSHOT=<file.png> saves a picture of\n"
      "the main window a few seconds after start and quits."));
  parser.addHelpOption();
  const QCommandLineOption continuous(QStringLiteral("continuous"),
                                      QStringLiteral("Start continuous readings at once."));
  parser.addOption(continuous);
  parser.process(app);

  const QString screenshot = qEnvironmentVariable("VEMOSWR_SCREENSHOT");
  if (!screenshot.isEmpty()) {
    // Nobody is there to answer a message box: report it and go on.
    vemo::TFormMain::SetMessageBoxHook(
        [](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons buttons) {
          qWarning("VemoSWR: %s", qPrintable(QString(text).replace(QChar('\r'), QChar(' '))));
          return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
        });
  }

  const auto forms = vemo::CreateApplicationForms();
  vemo::TFormMain& main = *forms->FormMain;
  main.show();
  if (parser.isSet(continuous)) main.mnuCommands_R->trigger();
  if (!screenshot.isEmpty()) vemo::ScheduleScreenshot(main, screenshot, 3000);
  return app.exec();
}
