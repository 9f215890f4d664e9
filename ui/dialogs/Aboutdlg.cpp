// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/Aboutdlg.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/SettingsPath.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/ProgramIcon.h"

namespace vemo {
namespace {

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

TdlgAbout::TdlgAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About"));
  FormCreate();
}

void TdlgAbout::FormCreate() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);

  ProgramIcon = NewLabel("ProgramIcon", QString(), Panel1);
  ProgramIcon->setPixmap(ProgramIconPixmap(64));
  ProgramIcon->setFixedSize(64, 64);
  ProductName = NewLabel("ProductName", tr("VemoSWR Power Monitor Software"), Panel1);
  QFont title = ProductName->font();
  title.setBold(true);
  title.setPointSizeF(title.pointSizeF() * 1.25);
  ProductName->setFont(title);
  Version = NewLabel("Version", QStringLiteral("Revision: 23-Feb-2011"), Panel1);
  Copyright = NewLabel("Copyright", tr("Copyright \u00A9 The VemoSWR authors"), Panel1);
  Comments = NewLabel("Comments",
                      tr("Free software under the GNU General Public License, version 3 or "
                         "later; no warranty."),
                      Panel1);
  Address1 = NewLabel("Address1", tr("Front-end for in-line RF power and VSWR monitors"), Panel1);
  Address2 = NewLabel("Address2", tr("Models KRFMON01 to KRFMON04 and VPMon002"), Panel1);
  Address3 = NewLabel("Address3",
                      tr("Serial line at 9600 baud, 8 data bits, no parity, 1 stop bit"), Panel1);
  BuildInfo =
      NewLabel("BuildInfo", tr("Built with Qt %1").arg(QLatin1String(QT_VERSION_STR)), Panel1);
  // Which of the places it may be in: the user asks for it when settings seem lost.
  QString settings = tr("Settings: %1").arg(QString::fromStdString(SettingsFilePath()));
  for (const std::string& site : SiteSettingsBeneath(SettingsFilePath()))
    settings += tr(", defaults from %1").arg(QString::fromStdString(site));
  SettingsFile = NewLabel("SettingsFile", settings, Panel1);
  SettingsFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(10, 10, 14, 10);
  grid->setHorizontalSpacing(14);
  grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignTop);
  int row = 0;
  for (QLabel* label : {ProductName, Version, Copyright, Comments}) {
    grid->addWidget(label, row++, 1);
  }
  grid->setRowMinimumHeight(row++, 8);
  for (QLabel* label : {Address1, Address2, Address3, BuildInfo, SettingsFile}) {
    grid->addWidget(label, row++, 1);
  }

  OKButton = new QPushButton(tr("OK"), this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->setSizeConstraint(QLayout::SetFixedSize);
  main->addWidget(Panel1);
  main->addWidget(OKButton, 0, Qt::AlignHCenter);
  ReserveCaptionWidth(this, main);
}

void TdlgAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
  CenterOnScreen(this);
}

}  // namespace vemo
