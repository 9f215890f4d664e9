// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/AccessibleWindow.h"

#include <QAccessible>
#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace vemo {

namespace {

QString Stripped(QString text) {
  text.remove(u'&');
  return text.trimmed();
}

bool TakesTabFocus(const QWidget* w) {
  return (w->focusPolicy() & Qt::TabFocus) != 0;
}

// Siblings share one coordinate system: rows from top to bottom, each left to right. Two
// widgets share a row when either one's middle lies within the other's height, so a label
// and a taller edit beside it count as one row.
void SortIntoRows(QList<QWidget*>& widgets) {
  std::stable_sort(widgets.begin(), widgets.end(), [](const QWidget* a, const QWidget* b) {
    return a->geometry().top() < b->geometry().top();
  });
  const auto sameRow = [](const QRect& a, const QRect& b) {
    return (a.center().y() >= b.top() && a.center().y() <= b.bottom()) ||
           (b.center().y() >= a.top() && b.center().y() <= a.bottom());
  };
  for (qsizetype start = 0; start < widgets.size();) {
    qsizetype end = start + 1;
    while (end < widgets.size() && sameRow(widgets[start]->geometry(), widgets[end]->geometry()))
      ++end;
    std::stable_sort(widgets.begin() + start, widgets.begin() + end,
                     [](const QWidget* a, const QWidget* b) {
                       return a->geometry().left() < b->geometry().left();
                     });
    start = end;
  }
}

bool HoldsControls(const QWidget* w) {
  const QList<QWidget*> inside = w->findChildren<QWidget*>();
  return std::any_of(inside.begin(), inside.end(), [](const QWidget* c) {
    return !c->isWindow() && !c->isHidden() && TakesTabFocus(c);
  });
}

void Collect(QWidget* container, QList<QWidget*>& order) {
  QList<QWidget*> parts;
  for (QObject* o : container->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && !w->isWindow() && !w->isHidden() && (TakesTabFocus(w) || HoldsControls(w)))
      parts.append(w);
  }
  SortIntoRows(parts);
  for (QWidget* w : parts) {
    if (TakesTabFocus(w)) order.append(w);
    // A control's own parts (a spin box's edit, a table's viewport) are not visited on
    // their own; a checkable group box's controls are.
    if (!TakesTabFocus(w) || qobject_cast<QGroupBox*>(w)) Collect(w, order);
  }
}

// The layout that holds w directly, searched from root down.
QLayout* LayoutHolding(QLayout* root, QWidget* w) {
  if (!root) return nullptr;
  if (root->indexOf(w) >= 0) return root;
  for (int i = 0; i < root->count(); ++i)
    if (QLayout* found = LayoutHolding(root->itemAt(i)->layout(), w)) return found;
  return nullptr;
}

QLabel* UsableLabel(QWidget* widget, const QWidget* control) {
  auto* label = qobject_cast<QLabel*>(widget);
  if (!label || label->isHidden() || Stripped(label->text()).isEmpty()) return nullptr;
  return !label->buddy() || label->buddy() == control ? label : nullptr;
}

QWidget* WidgetAt(QLayoutItem* item) {
  return item ? item->widget() : nullptr;
}

// Where a control stands: the layout holding it, its index there, and, when that layout
// is a row that fills a form's field, the form's label of the row.
struct Place {
  QLayout* layout = nullptr;
  int index = -1;
  QLabel* rowLabel = nullptr;
};

Place PlaceOf(QWidget* w) {
  Place place;
  place.layout = w->parentWidget() ? LayoutHolding(w->parentWidget()->layout(), w) : nullptr;
  if (!place.layout) return place;
  place.index = place.layout->indexOf(w);
  if (auto* form = qobject_cast<QFormLayout*>(place.layout->parent()))
    place.rowLabel = qobject_cast<QLabel*>(form->labelForField(place.layout));
  return place;
}

// The label before the item at index of layout (in its row, or above it in a grid).
QLabel* LabelBefore(QLayout* layout, int index, const QWidget* control) {
  if (auto* form = qobject_cast<QFormLayout*>(layout)) {
    int row = 0;
    QFormLayout::ItemRole role{};
    form->getItemPosition(index, &row, &role);
    return role == QFormLayout::FieldRole
               ? UsableLabel(WidgetAt(form->itemAt(row, QFormLayout::LabelRole)), control)
               : nullptr;
  }
  if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(index, &row, &column, &rows, &columns);
    for (const auto& [r, c] : {std::pair{row, column - 1}, std::pair{row - 1, column}})
      if (r >= 0 && c >= 0)
        if (QLabel* label = UsableLabel(WidgetAt(grid->itemAtPosition(r, c)), control))
          return label;
    return nullptr;
  }
  return index > 0 ? UsableLabel(WidgetAt(layout->itemAt(index - 1)), control) : nullptr;
}

// The label a sighted user reads as the control's caption: before it in its row or above
// it; for the first control of a row within a grid or form, the row's own caption there;
// else the label after it.
QLabel* LabelBeside(QWidget* w, const Place& place) {
  QLayout* layout = place.layout;
  if (!layout) return nullptr;
  if (QLabel* label = LabelBefore(layout, place.index, w)) return label;
  auto* outer = qobject_cast<QLayout*>(layout->parent());
  if (place.index == 0 && outer)
    if (QLabel* label = LabelBefore(outer, outer->indexOf(layout), w)) return label;
  const auto* box = qobject_cast<QBoxLayout*>(layout);
  if (box &&
      (box->direction() == QBoxLayout::LeftToRight || box->direction() == QBoxLayout::RightToLeft))
    return UsableLabel(WidgetAt(box->itemAt(place.index + 1)), w);
  if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(place.index, &row, &column, &rows, &columns);
    return UsableLabel(WidgetAt(grid->itemAtPosition(row, column + columns)), w);
  }
  return nullptr;
}

// A unit written last in the row of an entry whose caption stands elsewhere
// ("Full Scale Power" [ ] W); a label with a control after it is that control's caption.
QString UnitAfter(QWidget* w, const Place& place, const QLabel* caption) {
  const auto* box = qobject_cast<QBoxLayout*>(place.layout);
  if (!box || box->direction() != QBoxLayout::LeftToRight) return {};
  const QLabel* unit = UsableLabel(WidgetAt(box->itemAt(place.index + 1)), w);
  for (int i = place.index + 2; i < box->count(); ++i)
    if (WidgetAt(box->itemAt(i))) return {};
  return unit && unit != caption && unit->buddy() != w
             ? QStringLiteral(", ") + Stripped(unit->text())
             : QString();
}

// Gives w its caption: as its buddy when Qt can find it there (a label among its
// siblings), which also lets the label's mnemonic reach it; otherwise as its name.
void NameAfter(QWidget* w, QLabel* label, const QString& prefix) {
  if (label->parentWidget() == w->parentWidget()) label->setBuddy(w);
  if (!prefix.isEmpty() || label->buddy() != w)
    w->setAccessibleName(prefix + Stripped(label->text()));
}

QGroupBox* GroupOf(QWidget* w, const QWidget* window) {
  for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
    if (auto* group = qobject_cast<QGroupBox*>(p)) return group;
  return nullptr;
}

}  // namespace

QString AccessibleNameOf(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  if (!face) return {};
  // Here a combo box gives its current item as its name; screen readers say the label
  // related to it (a buddy, or its group box) before it.
  if (qobject_cast<QComboBox*>(widget)) {
    const auto labels = face->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.front().first->text(QAccessible::Name);
  }
  return face->text(QAccessible::Name);
}

QList<QWidget*> ReadingOrder(QWidget* window) {
  QList<QWidget*> order;
  Collect(window, order);
  return order;
}

void MakeAccessible(QWidget* window) {
  const QList<QWidget*> order = ReadingOrder(window);
  for (QWidget* w : order) {
    if (!w->accessibleName().isEmpty()) continue;
    const Place place = PlaceOf(w);
    // The second and later controls of a form's row are read with the row's caption
    // ("Trip in, of the last", "Latch, VSWR"), not as a loose word.
    QString prefix;
    if (place.rowLabel && place.rowLabel->buddy() != w) {
      prefix = Stripped(place.rowLabel->text());
      if (prefix.endsWith(u':')) prefix.chop(1);
      prefix += QStringLiteral(", ");
    }
    const QString own = AccessibleNameOf(w);
    if (!own.isEmpty()) {
      const QString unit = UnitAfter(w, place, nullptr);
      if (!prefix.isEmpty() || !unit.isEmpty()) w->setAccessibleName(prefix + own + unit);
    } else if (QLabel* label = LabelBeside(w, place)) {
      if (const QString unit = UnitAfter(w, place, label); !unit.isEmpty())
        w->setAccessibleName(Stripped(label->text()) + unit);
      else
        NameAfter(w, label, label == place.rowLabel ? QString() : prefix);
    } else if (QGroupBox* group = GroupOf(w, window)) {
      w->setAccessibleName(Stripped(group->title()));
    }
  }

  QHash<QString, int> uses;
  for (QWidget* w : order) ++uses[AccessibleNameOf(w)];
  for (QWidget* w : order) {
    const QString name = AccessibleNameOf(w);
    if (uses[name] < 2 || !w->accessibleName().isEmpty()) continue;
    if (QGroupBox* group = GroupOf(w, window); group && !Stripped(group->title()).isEmpty())
      w->setAccessibleName(Stripped(group->title()) + QStringLiteral(", ") + name);
  }

  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace vemo
