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
  QString Command;   // "View > Trend", or what the keys do where no menu holds it
  QString Shortcut;  // "F5"; empty for none
  QString MenuKeys;  // the way through the menus: "Alt+V, R"; empty outside the menus
};

// Every command and submenu of bar by its menu path, with its shortcut and the access
// keys that reach it through the menus; then the keys of the trend chart and the dialogs.
QList<ShortcutRow> ShortcutRows(const QMenuBar& bar);

// The rows as a read-only table with a Close button.
std::unique_ptr<QDialog> NewShortcutsDialog(QWidget* parent, const QList<ShortcutRow>& rows);

}  // namespace vemo
