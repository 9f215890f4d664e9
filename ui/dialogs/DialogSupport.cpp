// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/DialogSupport.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "platform/Escaped.h"
#include "ui/controls/NumEdit.h"

namespace vemo {

void CenterOnScreen(QWidget* window) {
  QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
  QScreen* screen = anchor->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QRect frame = window->frameGeometry();
  frame.moveCenter(area.center());
  window->move(frame.topLeft());
}

void SettleLayout(QWidget* window) {
  const QList<QWidget*> widgets = window->findChildren<QWidget*>();
  // findChildren lists parents before their children; walk it backwards.
  for (auto it = widgets.crbegin(); it != widgets.crend(); ++it) {
    if (QLayout* layout = (*it)->layout()) {
      layout->invalidate();
      layout->activate();
    }
  }
  if (QLayout* layout = window->layout()) {
    layout->invalidate();
    layout->activate();
  }
}

void ReserveCaptionWidth(QDialog* dialog, QBoxLayout* layout) {
  // Title bars commonly use a bold face of about the application's size; the icon, the
  // close button and the margins take roughly the rest.
  constexpr int kTitleBarFurniture = 112;
  QFont font = QApplication::font();
  font.setBold(true);
  const int caption = QFontMetrics(font).horizontalAdvance(dialog->windowTitle());
  layout->addStrut(caption + kTitleBarFurniture);
}

void ShowErrorMessage(QWidget* parent, const std::exception& failure) {
  ShowErrorMessage(parent, QString::fromStdString(Escaped(failure.what())));
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}

void AddOkCancelRow(QDialog* dialog, QBoxLayout* layout, QPushButton** ok, QPushButton** cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  *ok = new QPushButton(dialog->style()->standardIcon(QStyle::SP_DialogOkButton), QDialog::tr("OK"),
                        dialog);
  (*ok)->setObjectName("OKBtn");
  (*ok)->setDefault(true);
  QFont bold = (*ok)->font();
  bold.setBold(true);
  (*ok)->setFont(bold);
  *cancel = new QPushButton(dialog->style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QDialog::tr("Cancel"), dialog);
  (*cancel)->setObjectName("CancelBtn");
  (*cancel)->setAutoDefault(false);
  QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  row->addWidget(*ok);
  row->addWidget(*cancel);
  layout->addLayout(row);
}

TCardinalEdit* NewPercentEdit(QWidget* parent) {
  auto* edit = new TCardinalEdit(parent);
  edit->SetMinValue(0);
  edit->SetMaxValue(125);
  edit->SetValidate(true);
  return edit;
}

TRealEdit* NewPushToTalkDelayEdit(QWidget* parent) {
  auto* edit = new TRealEdit(parent);
  edit->SetFormatString("0.00");
  edit->SetMaxValue(6.7);
  edit->SetValidate(true);
  return edit;
}

QGroupBox* NewCheckAndEditGroup(const char* title, QCheckBox* check, QWidget* edit, QLabel* label,
                                QWidget* parent) {
  auto* group = new QGroupBox(QDialog::tr(title), parent);
  auto* column = new QVBoxLayout(group);
  column->addWidget(check);
  auto* row = new QHBoxLayout;
  label->setBuddy(edit);
  row->addWidget(edit);
  row->addWidget(label);
  row->addStretch(1);
  column->addLayout(row);
  return group;
}

}  // namespace vemo
