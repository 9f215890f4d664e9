// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/MainForms.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QPixmap>
#include <QTimer>

#include "platform/HelpViewer.h"
#include "serial/ComPort.h"
#include "ui/dialogs/Aboutdlg.h"
#include "ui/dialogs/CalWiz.h"
#include "ui/dialogs/Comdlg.h"
#include "ui/dialogs/OptnsDlg.h"
#include "ui/dialogs/OptnsDlgDualRelay.h"
#include "ui/dialogs/ProgramIcon.h"
#include "ui/dialogs/SelectPort.h"
#include "ui/main/Main.h"

namespace vemo {

TApplicationForms::TApplicationForms() = default;

TApplicationForms::~TApplicationForms() {
  dlgOptionsDualRelay.reset();
  dlgOptions.reset();
  dlgCalWizard.reset();
  dlgAbout.reset();
  dlgComm.reset();
  FormMain.reset();
}

void InitApplication() {
  // The name only, no display name: the window system would append a display name to
  // every window's title, and the dialogs' captions would be cut to make room for it.
  // Message boxes, which are titled with the display name, fall back to this name.
  QApplication::setApplicationName(QStringLiteral("VemoSWR"));
  QApplication::setWindowIcon(ApplicationIcon());
  SetApplicationHelpFile(QString::fromLatin1(kHelpFileName));
  InstallPortSelectionDialog();
}

std::unique_ptr<TApplicationForms> CreateApplicationForms() {
  auto forms = std::make_unique<TApplicationForms>();
  forms->FormMain = std::make_unique<TFormMain>();
  TFormMain* main = forms->FormMain.get();
  forms->dlgComm = std::make_unique<TdlgComm>(
      main->ComObj(), [main](uint8_t n) { return main->ChangeComPort(n); }, main);
  forms->dlgAbout = std::make_unique<TdlgAbout>(main);
  forms->dlgCalWizard = std::make_unique<TdlgCalWizard>(main);
  forms->dlgOptions = std::make_unique<TdlgOptions>(main, main);
  forms->dlgOptionsDualRelay = std::make_unique<TdlgOptionsDualRelay>(main);
  main->SetDialogs({forms->dlgComm.get(), forms->dlgAbout.get(), forms->dlgCalWizard.get(),
                    forms->dlgOptions.get(), forms->dlgOptionsDualRelay.get()});
  return forms;
}

void ScheduleScreenshot(TFormMain& form, const QString& path, int delayMs) {
  const bool meterWasShown = form.MeterShown();
  if (!meterWasShown) form.mnuViewMeterClick();
  if (!form.Continuous()) form.mnuCommands_R->trigger();
  QTimer::singleShot(delayMs, &form, [&form, path, meterWasShown] {
    if (!form.grab().save(path, "PNG"))
      qWarning("VemoSWR: cannot save the screenshot to %s", qPrintable(path));
    // What was changed for the picture is not saved as the user's choice.
    if (!meterWasShown) form.mnuViewMeterClick();
    form.close();
  });
}

}  // namespace vemo
