#include "TivrandApp/settings/SettingsSidebarRow.h"

#include "TivrandApp/settings/SymbolView.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ButtonFocusFrame.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace Tivrand {

namespace {

constexpr int iconPointSize = 14;
constexpr int iconFrameWidth = 24;
constexpr int labelPixelSize = 13;
constexpr int spacing = 8;
// The row's own 2 points above and below, inside the sidebar list's usual row insets.
constexpr int rowPadding = 2;
constexpr QMargins listRowInsets{8, 4, 8, 4};
constexpr qreal selectionRadius = 5;

} // namespace

SettingsSidebarRow::SettingsSidebarRow(SettingsTab tab, QWidget* parent)
    : QAbstractButton(parent)
    , m_tab(tab)
{
    setCheckable(true);
    setAutoExclusive(true);
    setText(rawValue(tab));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

QColor SettingsSidebarRow::iconColour() const
{
    return isChecked() ? palette().color(QPalette::Highlight) : withOpacity(SystemColor::gray, 0.8);
}

QColor SettingsSidebarRow::textColour() const
{
    const QColor primary = palette().color(QPalette::WindowText);
    return isChecked() ? primary : withOpacity(primary, 0.8);
}

QFont SettingsSidebarRow::labelFont() const
{
    QFont labelFont = font();
    labelFont.setPixelSize(labelPixelSize);
    return labelFont;
}

QSize SettingsSidebarRow::sizeHint() const
{
    const QFontMetrics metrics(labelFont());
    const int content = std::max(metrics.height(), SymbolView::sideFor(iconPointSize));
    const int contentWidth = iconFrameWidth + spacing + metrics.horizontalAdvance(text());
    return {contentWidth + listRowInsets.left() + listRowInsets.right(),
            content + 2 * rowPadding + listRowInsets.top() + listRowInsets.bottom()};
}

void SettingsSidebarRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    if (isChecked()) {
        QPainterPath selection;
        selection.addRoundedRect(QRectF(rect()), selectionRadius, selectionRadius);
        painter.fillPath(selection, withOpacity(palette().color(QPalette::WindowText), 0.1));
    }
    paintButtonFocusFrame(painter, *this);

    const QRect content = rect().marginsRemoved(listRowInsets).adjusted(0, rowPadding, 0, -rowPadding);
    const int side = SymbolView::sideFor(iconPointSize);
    const QPixmap icon = symbolPixmap(symbolName(m_tab), iconColour(), side);
    const QRect iconFrame(content.left(), content.top(), iconFrameWidth, content.height());
    QRectF iconTarget(0, 0, side, side);
    iconTarget.moveCenter(QRectF(iconFrame).center());
    painter.drawPixmap(iconTarget.topLeft(), icon);

    const QRect textFrame = content.adjusted(iconFrameWidth + spacing, 0, 0, 0);
    painter.setFont(labelFont());
    painter.setPen(textColour());
    painter.drawText(textFrame, Qt::AlignLeading | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(text(), Qt::ElideRight, textFrame.width()));
}

} // namespace Tivrand
