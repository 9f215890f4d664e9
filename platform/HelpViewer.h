// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's help window: shows the HTML manual that ships with the program, with
// contents, back and forward navigation. A missing help file is reported in the window.

#include <QString>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace vemo {

// The application's help file, named without a path (the program entry sets it once).
void SetApplicationHelpFile(const QString& fileName);
QString ApplicationHelpFile();

// Full path or resource path of a help file: the file beside the executable if it exists,
// else the embedded copy under ":/help/". Empty when neither exists.
QString LocateHelpFile(const QString& fileName);

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  // With a parent the viewer is still its own top-level window, closed with the parent.
  explicit HelpViewer(QWidget* parent = nullptr);

  // Opens the contents (first page) of helpFile and brings the window to the front.
  // Returns false when the file cannot be found; the window then says so.
  bool ShowContents(const QString& helpFile);

  QTextBrowser* Browser() const { return browser_; }

 private:
  void UpdateTitle();

  QTextBrowser* browser_;
  QToolButton* contentsButton_;
  QToolButton* backButton_;
  QToolButton* forwardButton_;
};

}  // namespace vemo
