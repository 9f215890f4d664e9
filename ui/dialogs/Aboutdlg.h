// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box: program icon, product name, revision, copyright, a few lines about the
// program and the settings file in use. Create once; exec() shows it centred; OK closes it.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vemo {

class TdlgAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TdlgAbout(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Copyright;
  QLabel* Comments;
  QLabel* Address1;
  QLabel* Address2;
  QLabel* Address3;
  QLabel* BuildInfo;
  QLabel* SettingsFile;  // the settings file in use
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
};

}  // namespace vemo
