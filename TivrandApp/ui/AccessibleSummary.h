#pragma once

class QString;
class QWidget;

namespace Tivrand {

// Screen readers read `widget` as one static text, `summary`, instead of the labels and
// images it is drawn with (a rating's number, five stars and count become "4.5 stars,
// 1234 Ratings"). Call it before anything asks the widget's accessibility.
void readAsOneText(QWidget& widget, const QString& summary);

} // namespace Tivrand
