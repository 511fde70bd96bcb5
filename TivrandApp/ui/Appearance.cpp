#include "TivrandApp/ui/Appearance.h"

#include <QApplication>
#include <QPalette>
#include <QTextDocument>
#include <QWidget>

namespace Tivrand {

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

QFont fontOfSize(int pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QString plainToolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    // Kept on one line, as a plain tool tip is.
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void setPlainToolTip(QWidget& widget, const QString& text)
{
    widget.setToolTip(plainToolTip(text));
    widget.setAccessibleDescription(text);
}

void setTextColor(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, color);
    widget.setPalette(palette);
}

} // namespace Tivrand
