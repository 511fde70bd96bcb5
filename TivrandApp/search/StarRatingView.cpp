#include "TivrandApp/search/StarRatingView.h"

#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>

namespace Tivrand {
namespace {

constexpr int starSize = 12;

} // namespace

std::array<QString, 5> starSymbols(double rating)
{
    std::array<QString, 5> symbols;
    for (int star = 0; star < 5; ++star) {
        QString symbol = QStringLiteral("star");
        if (star + 1 <= rating) {
            symbol = QStringLiteral("star.fill");
        } else if (star < rating) {
            const double share = rating - star;
            if (share >= 0.75)
                symbol = QStringLiteral("star.fill");
            else if (share >= 0.25)
                symbol = QStringLiteral("star.lefthalf.fill");
        }
        symbols[static_cast<std::size_t>(star)] = symbol;
    }
    return symbols;
}

StarRatingView::StarRatingView(double rating, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (const QString& symbol : starSymbols(rating))
        layout->addWidget(symbolLabel(symbol, SystemColor::yellow, starSize, this));
}

} // namespace Tivrand
