#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace Tivrand {

// The named colours the views use, in their dark-appearance shades.
namespace SystemColor {
inline const QColor gray{142, 142, 147};
inline const QColor blue{10, 132, 255};
inline const QColor yellow{255, 214, 10};
inline const QColor green{48, 209, 88};
inline const QColor red{255, 69, 58};
} // namespace SystemColor

// Secondary text and separator lines are the primary text colour at these strengths.
inline constexpr qreal secondaryTextOpacity = 0.55;
inline constexpr qreal separatorOpacity = 0.12;

// `color` at the given opacity (0 to 1).
QColor withOpacity(QColor color, qreal opacity);

// The application font at a size in pixels, so text keeps its size whatever the platform's
// point-to-pixel ratio.
QFont fontOfSize(int pixelSize, QFont::Weight weight = QFont::Normal);

// A tool tip that shows `text` as it is: tool tips would otherwise read text that looks like
// markup as HTML, and texts from the catalog are not ours. Only such text is escaped into HTML;
// any other stays plain text.
QString plainToolTip(const QString& text);

// Gives `widget` the tool tip `text`, shown as it is, and `text` as its description for screen
// readers, which would otherwise read the tool tip's markup.
void setPlainToolTip(QWidget& widget, const QString& text);

// Draws the widget's text (and, for item views, its item text) in `color`.
void setTextColor(QWidget& widget, const QColor& color);

} // namespace Tivrand
