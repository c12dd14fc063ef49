#include "DaySeries.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<double> Ys(const TLineSeries& series) {
    std::vector<double> values;
    for (int i = 0; i < series.Count(); ++i)
        values.push_back(series.YValues()[i]);
    return values;
}

void Fill(TLineSeries& series, const std::vector<double>& minutesAfterEleven,
          const std::vector<double>& values) {
    for (size_t i = 0; i < values.size(); ++i)
        series.AddXY((11 * 60 + minutesAfterEleven[i]) / 1440.0, values[i]);
}

TEST(DaySeries, SmoothingPassesFeedOnTheValuesBeforeThePass) {
    TLineSeries series(nullptr);
    Fill(series, {0, 1, 2, 3, 4}, {0, 0, 4, 0, 0});
    SmoothSeries(series);
    EXPECT_EQ(Ys(series), (std::vector<double>{0, 1, 2, 1, 0}));
    SmoothSeries(series);
    EXPECT_EQ(Ys(series), (std::vector<double>{0, 1, 1.5, 1, 0}));

    TLineSeries two(nullptr);
    Fill(two, {0, 1}, {3, 9});
    SmoothSeries(two);
    EXPECT_EQ(Ys(two), (std::vector<double>{3, 9}));
}

TEST(DaySeries, BaselineIsTheMeanOfTheFirstAndLastMinuteAndTheDipItsLowestPoint) {
    struct Row {
        std::vector<double> minutes, values, corrected;
        double dip, dipMinute;
    } rows[] = {
        {{0, 2, 4, 6, 8}, {10, 10, 4, 10, 10}, {0, 0, -6, 0, 0}, -6, 4},
        {{0, 2, 4, 6, 8}, {12, 10, 4, 10, 8}, {2, 0, -6, 0, -2}, -6, 4},
        // One point: counted by both scans; the dip is 0 at its time.
        {{3}, {7.5}, {0}, 0, 3},
        // All within one minute: both scans take every point; of equal lows the earliest wins.
        {{0, 0.25, 0.5, 0.75}, {2, 1, 2, 1}, {0.5, -0.5, 0.5, -0.5}, -0.5, 0.25},
    };
    for (const Row& row : rows) {
        TLineSeries series(nullptr);
        Fill(series, row.minutes, row.values);
        double dip = 0, dipTime = 0;
        RemoveBaseline(series, dip, dipTime);
        EXPECT_EQ(Ys(series), row.corrected);
        EXPECT_EQ(dip, row.dip);
        EXPECT_DOUBLE_EQ(dipTime, (11 * 60 + row.dipMinute) / 1440.0);
    }
}

TEST(DaySeries, DayStyleByDistanceFromTheDeepestDay) {
    struct Row {
        int d;
        bool setColor;
        TColor color;
        bool dotted;
    } rows[] = {
        {-11, false, 0, false},      {-10, true, 0x800080, false}, {-4, true, 0x800080, false},
        {-3, true, 0x008000, false}, {-2, true, 0x000080, false},  {-1, true, 0x800000, false},
        {0, true, 0x000000, false},  {1, true, 0x642020, true},    {2, true, 0x202064, true},
        {3, true, 0x206420, true},   {4, true, 0x642064, true},    {99, true, 0x642064, true},
        {100, false, 0, true},       {101, false, 0, false},
    };
    for (const Row& row : rows) {
        bool setColor = !row.setColor, dotted = !row.dotted;
        TColor color = 0xDEAD;
        DayStyle(row.d, setColor, color, dotted);
        EXPECT_EQ(setColor, row.setColor) << row.d;
        EXPECT_EQ(dotted, row.dotted) << row.d;
        if (row.setColor) {
            EXPECT_EQ(color, row.color) << row.d;
        }
    }
}

} // namespace
