#pragma once

#include <QApplication>
#include <QList>
#include <QTest>
#include <QWidget>

namespace Tivrand::Testing {

// The widgets that Tab moves the focus to in the active window, from the focused one round to it again.
inline QList<QWidget*> tabStops()
{
    QList<QWidget*> stops;
    for (QWidget* focused = QApplication::focusWidget(); focused && !stops.contains(focused) && stops.size() < 100;
         focused = QApplication::focusWidget()) {
        stops.append(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return stops;
}

} // namespace Tivrand::Testing
