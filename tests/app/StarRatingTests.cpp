#include "TivrandApp/search/StarRatingView.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Tivrand;

namespace {

// "F" full, "H" half, "E" empty, one letter per star.
QString starLetters(double rating)
{
    QString letters;
    for (const QString& symbol : starSymbols(rating)) {
        if (symbol == "star.fill")
            letters += 'F';
        else if (symbol == "star.lefthalf.fill")
            letters += 'H';
        else if (symbol == "star")
            letters += 'E';
        else
            letters += '?';
    }
    return letters;
}

TEST(StarRating, StarsFollowTheQuarterRule)
{
    const std::pair<double, const char*> table[] = {
        {0, "EEEEE"},    {5, "FFFFF"},    {3.3, "FFFHE"},   {3.2, "FFFEE"},   {3.8, "FFFFE"},
        {0.5, "HEEEE"},  {2.5, "FFHEE"},  {4.5, "FFFFH"},   {3.25, "FFFHE"},  {3.75, "FFFFE"},
        {3.24, "FFFEE"}, {3.74, "FFFHE"}, {0.1, "EEEEE"},   {4.99, "FFFFF"},  {1, "FEEEE"},
    };
    for (const auto& [rating, expected] : table)
        EXPECT_EQ(starLetters(rating), expected) << rating;
}

TEST(StarRating, OutOfRangeAndNotANumberAreShownAsTheNearestSensibleRow)
{
    EXPECT_EQ(starLetters(-1), "EEEEE");
    EXPECT_EQ(starLetters(7), "FFFFF");
    EXPECT_EQ(starLetters(std::numeric_limits<double>::infinity()), "FFFFF");
    EXPECT_EQ(starLetters(-std::numeric_limits<double>::infinity()), "EEEEE");
    EXPECT_EQ(starLetters(std::numeric_limits<double>::quiet_NaN()), "EEEEE");
}

} // namespace
