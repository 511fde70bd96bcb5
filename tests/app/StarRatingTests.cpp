#include "TivrandApp/search/StarRatingView.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Tivrand;

TEST(StarRating, StarsFollowTheQuarterRuleAndClampOddValues)
{
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> table[] = {
        {0, "EEEEE"},     {5, "FFFFF"},    {3.3, "FFFHE"},  {3.2, "FFFEE"},   {3.8, "FFFFE"},
        {0.5, "HEEEE"},   {2.5, "FFHEE"},  {4.5, "FFFFH"},  {3.25, "FFFHE"},  {3.75, "FFFFE"},
        {3.24, "FFFEE"},  {3.74, "FFFHE"}, {0.1, "EEEEE"},  {4.99, "FFFFF"},  {1, "FEEEE"},
        {-1, "EEEEE"},    {7, "FFFFF"},    {infinity, "FFFFF"}, {-infinity, "EEEEE"},
        {std::numeric_limits<double>::quiet_NaN(), "EEEEE"},
    };
    for (const auto& [rating, expected] : table) {
        QString letters; // F full, H half, E empty
        for (const QString& symbol : starSymbols(rating))
            letters += symbol == "star.fill" ? 'F' : symbol == "star.lefthalf.fill" ? 'H' : symbol == "star" ? 'E' : '?';
        EXPECT_EQ(letters, expected) << rating;
    }
}
