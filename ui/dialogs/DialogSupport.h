// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program's small dialogs share: placement, the OK and Cancel buttons, the
// numeric-edit rows, and the way a failure of a confirmed action is shown.

#include <exception>

class QBoxLayout;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QString;
class QWidget;

namespace vemo {

class TCardinalEdit;
class TRealEdit;

// Centres window on its screen (the screen of its parent window, if it has one). Called
// from each dialog's showEvent, so every showing is centred whatever its size.
void CenterOnScreen(QWidget* window);

// Lays window out at once after controls were shown or hidden, innermost layouts first, so
// that its size, and the centring that uses it, are right before it is shown (otherwise the
// layouts settle through posted events only after the window appeared).
void SettleLayout(QWidget* window);

// Keeps dialog at least as wide as its title bar needs to show the whole caption, with
// room for the window manager's icon and buttons; layout is the dialog's own layout.
void ReserveCaptionWidth(QDialog* dialog, QBoxLayout* layout);

// Shows the failure's own message in an error box titled with the application's name.
void ShowErrorMessage(QWidget* parent, const std::exception& failure);
void ShowErrorMessage(QWidget* parent, const QString& text);

// An OK button (default, bold, with the style's OK icon) and a Cancel button (with the
// Cancel icon, rejecting dialog), right-aligned in a row appended to layout.
void AddOkCancelRow(QDialog* dialog, QBoxLayout* layout, QPushButton** ok, QPushButton** cancel);

// The percent-of-full-scale edit of a power alarm: 0..125, clamped.
TCardinalEdit* NewPercentEdit(QWidget* parent);
// The push-to-talk delay edit: seconds as "0.00", 0..6.7, clamped.
TRealEdit* NewPushToTalkDelayEdit(QWidget* parent);

// A group box holding a check box above an edit with its label to the right.
QGroupBox* NewCheckAndEditGroup(const char* title, QCheckBox* check, QWidget* edit, QLabel* label,
                                QWidget* parent);

}  // namespace vemo
