#pragma once

#include <QSize>

class QApplication;
class QWidget;

namespace Tivrand {

// No window of the program can be made smaller than this.
inline constexpr QSize minimumWindowSize{800, 600};

// Gives a top-level window (main window, sheet, settings) the program's minimum size.
void applyMinimumWindowSize(QWidget& window);

// The program's look: Fusion with a dark palette, so texts are drawn light on dark.
void applyDarkStyle(QApplication& application);

} // namespace Tivrand
