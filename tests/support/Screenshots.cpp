#include "tests/support/Screenshots.h"

#include "tests/support/EventLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

namespace Tivrand::Testing {

bool saveScreenshot(const QImage& image, const QString& name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    return !image.isNull() && QDir().mkpath(folder) &&
           image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QImage grabWhenShown(QWidget& widget)
{
    if (!QTest::qWaitForWindowExposed(&widget))
        return {};
    pumpEvents(std::chrono::milliseconds(50));
    return widget.grab().toImage();
}

} // namespace Tivrand::Testing
