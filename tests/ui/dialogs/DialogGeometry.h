// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks a shown dialog's own controls (those with an object name) for clipping and
// overlap at the fonts of the platform the tests run on.

#include <QWidget>

#include <string>
#include <vector>

namespace vemo::test {

// The dialog's named controls that are visible within it.
inline std::vector<QWidget*> VisibleNamedControls(QWidget* dialog) {
  std::vector<QWidget*> controls;
  for (QWidget* w : dialog->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
    if (w->isVisibleTo(dialog)) controls.push_back(w);
  }
  return controls;
}

inline std::string Describe(const QWidget* w) {
  const QRect g = w->geometry();
  return w->objectName().toStdString() + " at " + std::to_string(g.x()) + "," +
         std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" + std::to_string(g.height());
}

// Every fault found: a control smaller than its size hint, reaching outside its parent, or
// overlapping a visible sibling.
inline std::vector<std::string> LayoutFaults(QWidget* dialog) {
  std::vector<std::string> faults;
  const std::vector<QWidget*> controls = VisibleNamedControls(dialog);
  for (QWidget* w : controls) {
    const QSize hint = w->sizeHint();
    if (w->width() < hint.width() || w->height() < hint.height()) {
      faults.push_back(Describe(w) + " is smaller than its hint " + std::to_string(hint.width()) +
                       "x" + std::to_string(hint.height()));
    }
    if (!w->parentWidget()->rect().contains(w->geometry())) {
      faults.push_back(Describe(w) + " reaches outside " +
                       w->parentWidget()->objectName().toStdString());
    }
    for (QWidget* other : controls) {
      if (other <= w || other->parentWidget() != w->parentWidget()) continue;
      if (w->geometry().intersects(other->geometry())) {
        faults.push_back(Describe(w) + " overlaps " + Describe(other));
      }
    }
  }
  return faults;
}

}  // namespace vemo::test
