#include "TivrandApp/settings/PlainGroupBox.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr qreal cornerRadius = 8;
// Room below and beside the box for its shadow (radius 2, one point down).
constexpr QMargins shadowMargins{2, 1, 2, 3};

} // namespace

PlainGroupBox::PlainGroupBox(QWidget* parent)
    : QFrame(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(shadowMargins);
    outer->setSpacing(0);
    m_contentLayout = new QVBoxLayout;
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    outer->addLayout(m_contentLayout);
}

void PlainGroupBox::paintEvent(QPaintEvent*)
{
    const QRectF box = QRectF(rect()).marginsRemoved(shadowMargins.toMarginsF());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // A blur of radius 2 approximated by a few widening layers of faint black.
    for (int spread = 2; spread >= 0; --spread) {
        QPainterPath shadow;
        shadow.addRoundedRect(box.translated(0, 1).adjusted(-spread, -spread, spread, spread),
                              cornerRadius + spread, cornerRadius + spread);
        painter.fillPath(shadow, QColor(0, 0, 0, 5));
    }

    QPainterPath body;
    body.addRoundedRect(box, cornerRadius, cornerRadius);
    painter.fillPath(body, palette().color(QPalette::Base));
}

} // namespace Tivrand
