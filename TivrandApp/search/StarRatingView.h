#pragma once

#include <QString>
#include <QWidget>

#include <array>

namespace Tivrand {

// The symbol of each of the five stars for `rating`: "star.fill", "star.lefthalf.fill" or "star".
// A star whose share of the rating is three quarters or more is full, a quarter or more is half.
// Ratings outside 0 to 5 are clamped by the rule itself; a NaN rating shows five empty stars.
std::array<QString, 5> starSymbols(double rating);

// Five yellow stars showing a rating.
class StarRatingView : public QWidget {
    Q_OBJECT

public:
    explicit StarRatingView(double rating, QWidget* parent = nullptr);
};

} // namespace Tivrand
