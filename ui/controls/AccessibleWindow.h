// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What makes a dialog or window usable from the keyboard and with a screen reader,
// done once for all of them: every control is named after what a sighted user reads
// beside it, and Tab visits the controls in the order they are read.

#include <QList>
#include <QString>

class QWidget;

namespace vemo {

// Names the controls of window that no label names yet, and sets the tab chain to
// ReadingOrder. A control without a name takes the label beside it in its layout (before
// it in its row, else after it, else above it), which becomes its buddy so that the
// label's mnemonic reaches it too; without such a label, the title of its group box.
// Where two controls would be read alike ("% of Full Scale" in two groups), each named
// from a label gets its group's title before the label's text. Call once the controls
// shown are settled, e.g. from showEvent; calling again is harmless.
void MakeAccessible(QWidget* window);

// The controls of window that take focus by Tab and are not hidden, in reading order:
// top to bottom, left to right within a row, and a group box's controls together in its
// place.
QList<QWidget*> ReadingOrder(QWidget* window);

// The name a screen reader reads for widget: its own, a buddy label's or its group's
// (for a combo box, the label related to it).
QString AccessibleNameOf(QWidget* widget);

}  // namespace vemo
