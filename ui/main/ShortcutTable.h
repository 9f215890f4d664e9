// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help, "Keyboard Shortcuts": every command of the menus with the keys that give it, and
// the keys of the windows that are not commands (the trend chart, the dialogs).

#include <QList>
#include <QString>

#include <memory>

class QDialog;
class QMenuBar;
class QWidget;

namespace vemo {

struct ShortcutRow {
  QString Command;  // "View > Trend", or what the keys do where no menu holds it
  QString Keys;     // "F5", or the way through the menus: "Alt+V, T"
};

// Every command of bar by its menu path, with its shortcut or, where it has none, its
// menu's and its own access keys; then the keys of the trend chart and of the dialogs.
QList<ShortcutRow> ShortcutRows(const QMenuBar& bar);

// The rows as a read-only table with a Close button.
std::unique_ptr<QDialog> NewShortcutsDialog(QWidget* parent, const QList<ShortcutRow>& rows);

}  // namespace vemo
