#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QWidget;

namespace Tivrand {

// The symbol named `name` (the resource ":/icons/NAME.svg"), drawn in `color` (its alpha included)
// into a square of `size` device-independent pixels, sharp on the screen's pixel ratio.
// A missing or unreadable symbol gives a null pixmap and an empty icon, never a failure.
QPixmap symbolPixmap(const QString& name, const QColor& color, int size);
QIcon symbolIcon(const QString& name, const QColor& color, int size);

// A label of exactly `size` showing the symbol; clicks pass through it to the widget below.
QLabel* symbolLabel(const QString& name, const QColor& color, int size, QWidget* parent);

} // namespace Tivrand
