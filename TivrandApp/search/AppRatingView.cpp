#include "TivrandApp/search/AppRatingView.h"

#include "TivrandApp/search/StarRatingView.h"
#include "TivrandApp/ui/AccessibleSummary.h"
#include "TivrandApp/ui/Appearance.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <charconv>

namespace Tivrand {
namespace {

constexpr int frameWidth = 120;
constexpr int leadingPadding = 8;

// One decimal as C's "%.1f" writes it, without the locale: the exact binary value rounded half
// to even, so 4.25 is "4.2" (Qt's own formatting would say "4.3").
QString oneDecimal(double value)
{
    char text[400]; // wide enough for any double in fixed notation
    const auto written = std::to_chars(std::begin(text), std::end(text), value, std::chars_format::fixed, 1);
    return QString::fromLatin1(text, written.ptr - text);
}

} // namespace

AppRatingView::AppRatingView(double rating, int ratingCount, QWidget* parent)
    : QWidget(parent)
    , m_rating(new QLabel(oneDecimal(rating), this))
    , m_ratingCount(new QLabel(QString::number(ratingCount) + QStringLiteral(" Ratings"), this))
{
    setFixedWidth(frameWidth + leadingPadding);
    m_rating->setFont(fontOfSize(14));
    setTextColor(*m_rating, Qt::white);
    m_ratingCount->setFont(fontOfSize(11));
    setTextColor(*m_ratingCount, SystemColor::gray);

    auto* firstLine = new QHBoxLayout;
    firstLine->setSpacing(8);
    firstLine->addWidget(m_rating, 0, Qt::AlignVCenter);
    firstLine->addWidget(new StarRatingView(rating, this), 0, Qt::AlignVCenter);

    // The two lines end flush with each other; together they sit centred in the frame.
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    lines->addLayout(firstLine);
    lines->setAlignment(firstLine, Qt::AlignRight);
    lines->addWidget(m_ratingCount, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(leadingPadding, 0, 0, 0);
    layout->addStretch();
    layout->addLayout(lines);
    layout->addStretch();

    readAsOneText(*this, ratingText() + QStringLiteral(" stars, ") + ratingCountText());
}

QString AppRatingView::ratingText() const
{
    return m_rating->text();
}

QString AppRatingView::ratingCountText() const
{
    return m_ratingCount->text();
}

} // namespace Tivrand
