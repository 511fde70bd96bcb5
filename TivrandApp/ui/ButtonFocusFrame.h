#pragma once

class QAbstractButton;
class QPainter;

namespace Tivrand {

// For buttons that draw themselves: the keyboard focus frame the application's style draws on
// its own buttons, where it draws it, whenever it would draw it (Fusion: once focus has moved
// by keyboard in the window). Nothing while the button lacks the focus.
void paintButtonFocusFrame(QPainter& painter, const QAbstractButton& button);

} // namespace Tivrand
