#pragma once

#include <QWidget>

class QLabel;

namespace Tivrand {

// An app's rating with one decimal and its stars, above the number of ratings ("1234 Ratings"),
// read by screen readers as one text ("4.5 stars, 1234 Ratings").
class AppRatingView : public QWidget {
    Q_OBJECT

public:
    AppRatingView(double rating, int ratingCount, QWidget* parent = nullptr);

    QString ratingText() const;
    QString ratingCountText() const;

private:
    QLabel* m_rating;
    QLabel* m_ratingCount;
};

} // namespace Tivrand
