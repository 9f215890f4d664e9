// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCDialAccessible.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QCoreApplication>

#include "ui/meter/DCDial.h"

namespace vemo {

namespace {

class DialAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit DialAccessible(TDCDial* dial) : QAccessibleWidget(dial, QAccessible::Dial) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        return QCoreApplication::translate("TDCDial", "Meter");
      case QAccessible::Value:
        return QCoreApplication::translate("TDCDial", "%1 watts").arg(Dial()->Position());
      case QAccessible::Description:
        return QCoreApplication::translate("TDCDial", "Scale %1 to %2 watts")
            .arg(Dial()->MinValue())
            .arg(Dial()->MaxValue());
      default:
        return QAccessibleWidget::text(t);
    }
  }

  QVariant currentValue() const override { return Dial()->Position(); }
  // The pointer shows a measurement: nobody sets it from outside.
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return Dial()->MaxValue(); }
  QVariant minimumValue() const override { return Dial()->MinValue(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  TDCDial* Dial() const { return static_cast<TDCDial*>(widget()); }
};

QAccessibleInterface* DialFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("vemo::TDCDial") && object && object->isWidgetType())
    return new DialAccessible(static_cast<TDCDial*>(object));
  return nullptr;
}

}  // namespace

void InstallDialAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(DialFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

void DialAnnouncer::Moved(qint64 nowMs) {
  if (!QAccessible::isActive() || !dial_.isVisible()) return;
  if (announced_ && nowMs - lastMs_ < kQuietMs) return;
  announced_ = true;
  lastMs_ = nowMs;
  QAccessibleValueChangeEvent event(&dial_, dial_.Position());
  QAccessible::updateAccessibility(&event);
}

}  // namespace vemo
