#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace Tivrand::Testing {

// Saves `image` as NAME.png in the "screenshots" folder beside the test program, for a person
// to look at. Answers whether it was written.
bool saveScreenshot(const QImage& image, const QString& name);

// Waits until `widget` is on screen and painted, then grabs it.
QImage grabWhenShown(QWidget& widget);

} // namespace Tivrand::Testing
