// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/ShortcutTable.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vemo {

namespace {

QString Caption(const QAction* action) {
  QString text = action->text();
  text.remove(u'&');
  return text;
}

// The key that picks action in its open menu: its underlined letter.
QString AccessKey(const QAction* action) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
  if (mnemonic.isEmpty()) return {};
  return QKeySequence(mnemonic[0].key()).toString(QKeySequence::NativeText);
}

void AddMenu(const QMenu& menu, const QString& path, const QString& keys,
             QList<ShortcutRow>& rows) {
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    const QString here = path + QStringLiteral(" > ") + Caption(action);
    const QString key = AccessKey(action);
    // Without an underlined letter the arrow keys reach the item.
    const QString through =
        keys + QStringLiteral(", ") + (key.isEmpty() ? QObject::tr("arrow keys") : key);
    rows.append({here, action->shortcut().toString(QKeySequence::NativeText), through});
    if (const QMenu* sub = action->menu()) AddMenu(*sub, here, through, rows);
  }
}

}  // namespace

QList<ShortcutRow> ShortcutRows(const QMenuBar& bar) {
  QList<ShortcutRow> rows;
  for (const QAction* top : bar.actions()) {
    const QMenu* menu = top->menu();
    if (!menu || !top->isVisible()) continue;
    const QString key = AccessKey(top);
    AddMenu(*menu, Caption(top), key.isEmpty() ? QObject::tr("F10") : QStringLiteral("Alt+") + key,
            rows);
  }
  const ShortcutRow fixed[] = {
      {QObject::tr("Menu bar"), QObject::tr("F10"), {}},
      {QObject::tr("Dialogs: next or previous control"), QObject::tr("Tab, Shift+Tab"), {}},
      {QObject::tr("Dialogs: accept or cancel"), QObject::tr("Enter, Escape"), {}},
      {QObject::tr("Trend chart: move the cursor (Ctrl: ten times as far)"),
       QObject::tr("Left, Right"),
       {}},
      {QObject::tr("Trend chart: scroll back or forward by a span"),
       QObject::tr("Page Up, Page Down"),
       {}},
      {QObject::tr("Trend chart: the oldest readings, or the newest and follow"),
       QObject::tr("Home, End"),
       {}},
      {QObject::tr("Trend chart: shorter or longer span"), QObject::tr("Plus, Minus"), {}},
  };
  for (const ShortcutRow& row : fixed) rows.append(row);
  return rows;
}

std::unique_ptr<QDialog> NewShortcutsDialog(QWidget* parent, const QList<ShortcutRow>& rows) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setWindowTitle(QObject::tr("Keyboard Shortcuts"));
  auto* table = new QTableWidget(static_cast<int>(rows.size()), 3, dialog.get());
  table->setAccessibleName(QObject::tr("Keyboard shortcuts"));
  table->setHorizontalHeaderLabels(
      {QObject::tr("Command"), QObject::tr("Shortcut"), QObject::tr("Through the menus")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->hide();
  for (int row = 0; row < table->rowCount(); ++row) {
    table->setItem(row, 0, new QTableWidgetItem(rows[row].Command));
    table->setItem(row, 1, new QTableWidgetItem(rows[row].Shortcut));
    table->setItem(row, 2, new QTableWidgetItem(rows[row].MenuKeys));
  }
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog.get());
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
  auto* layout = new QVBoxLayout(dialog.get());
  layout->addWidget(table);
  layout->addWidget(buttons);
  dialog->resize(640, 480);
  return dialog;
}

}  // namespace vemo
