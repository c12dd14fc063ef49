// Line series: ordered insertion, value lists, and the series list of a chart with its
// ownership and palette colours.
#include "Chart.h"
#include "Series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

std::vector<double> Values(const TChartValueList& list) {
    std::vector<double> values;
    for (int i = 0; i < list.Count(); ++i)
        values.push_back(list[i]);
    return values;
}

template <class F> QString RaisedMessage(F&& action) {
    try {
        action();
    } catch (const EChartException& e) {
        return e.Message();
    }
    return QStringLiteral("(nothing raised)");
}

} // namespace

TEST(LineSeries, AddXYInsertsInAscendingXWithEqualXAfterTheExistingOnes) {
    struct Step {
        double x, y;
        int index; // answered by AddXY
    };
    const Step steps[] = {{5, 1, 0}, {3, 2, 0}, {5, 3, 2},  {4, 4, 1},
                          {3, 5, 1}, {6, 6, 5}, {0.5, 7, 0}};
    TLineSeries series(nullptr);
    for (const Step& step : steps)
        EXPECT_EQ(series.AddXY(step.x, step.y), step.index) << "x " << step.x << " y " << step.y;

    EXPECT_EQ(Values(series.XValues()), (std::vector<double>{0.5, 3, 3, 4, 5, 5, 6}));
    // The Y values travel with their X: of the equal X, the earlier added comes first.
    EXPECT_EQ(Values(series.YValues()), (std::vector<double>{7, 2, 5, 4, 1, 3, 6}));
    EXPECT_EQ(series.Count(), 7);
}

TEST(LineSeries, AddXYsGivesWhatAddXYGivesPointByPoint) {
    // Rising, falling, with equal X, and onto points already there.
    const std::vector<std::vector<double>> shapes = {
        {1, 2, 3, 4}, {9, 7, 5, 3, 1}, {2, 1, 2, 1, 2, 0}, {5, 5, 5}, {}};
    for (const std::vector<double>& xs : shapes) {
        for (bool onExisting : {false, true}) {
            TLineSeries one(nullptr), batch(nullptr);
            if (onExisting) {
                for (TLineSeries* s : {&one, &batch}) {
                    s->AddXY(2, -1);
                    s->AddXY(4, -2);
                }
            }
            std::vector<double> ys;
            for (std::size_t i = 0; i < xs.size(); ++i)
                ys.push_back(100 + static_cast<double>(i)); // tells the points apart
            for (std::size_t i = 0; i < xs.size(); ++i)
                one.AddXY(xs[i], ys[i]);
            batch.AddXYs(xs, ys);
            EXPECT_EQ(Values(batch.XValues()), Values(one.XValues()));
            EXPECT_EQ(Values(batch.YValues()), Values(one.YValues()));
        }
    }

    // A thousand points in falling order, and an X that is not a number stops the batch there.
    TLineSeries falling(nullptr);
    std::vector<double> xs, ys;
    for (int i = 1000; i > 0; --i) {
        xs.push_back(i);
        ys.push_back(-i);
    }
    xs[500] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(RaisedMessage([&] { falling.AddXYs(xs, ys); }), QStringLiteral("Invalid X value"));
    ASSERT_EQ(falling.Count(), 500);
    EXPECT_EQ(falling.XValues()[0], 501);
    EXPECT_EQ(falling.YValues()[499], -1000);
    EXPECT_EQ(RaisedMessage([&] { falling.AddXYs(xs, {}); }),
              QStringLiteral("Value count does not match (0)"));
    EXPECT_EQ(falling.Count(), 500);
}

TEST(LineSeries, OnlyPointsWithALabelOrColourOfTheirOwnCarryOne) {
    TLineSeries series(nullptr);
    series.SetSeriesColor(clRed);
    series.AddXYs(std::vector<double>{1, 3}, std::vector<double>{0, 0});
    series.AddXY(2, 0, QStringLiteral("noon"), clBlue);
    series.AddXY(4, 0);
    const QString labels[] = {"", "noon", "", ""};
    const TColor colours[] = {clRed, clBlue, clRed, clRed};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(series.XLabel(i), labels[i]) << i;
        EXPECT_EQ(series.ValueColor(i), colours[i]) << i;
    }
    // The points move with their labels when a batch restores the order.
    series.AddXYs(std::vector<double>{0}, std::vector<double>{0});
    EXPECT_EQ(series.XLabel(2), "noon");
    EXPECT_EQ(series.ValueColor(2), clBlue);
    EXPECT_EQ(series.XLabel(0), "");
    series.Clear();
    series.AddXY(1, 1);
    EXPECT_EQ(series.XLabel(0), "");
    EXPECT_EQ(series.ValueColor(0), clRed);
}

TEST(LineSeries, ValueWritesAndIndexesOutsideTheListRaise) {
    TLineSeries series(nullptr);
    series.AddXY(1, 10);
    series.AddXY(2, 20);
    series.YValues().SetValue(1, -3.5);
    EXPECT_EQ(series.YValues().Value(1), -3.5);
    EXPECT_EQ(series.XValues()[1], 2.0);

    EXPECT_EQ(RaisedMessage([&] { series.YValues().Value(2); }),
              QStringLiteral("List index out of bounds (2)"));
    EXPECT_EQ(RaisedMessage([&] { series.XValues().SetValue(-1, 0); }),
              QStringLiteral("List index out of bounds (-1)"));
    EXPECT_EQ(RaisedMessage([&] { series.XLabel(5); }),
              QStringLiteral("List index out of bounds (5)"));

    // An X that is not a number has no place in the order: refused, nothing added.
    EXPECT_EQ(RaisedMessage([&] { series.AddXY(std::nan(""), 1); }),
              QStringLiteral("Invalid X value"));
    EXPECT_EQ(series.Count(), 2);
    EXPECT_EQ(series.YValues().Count(), 2);

    series.Clear();
    EXPECT_EQ(series.XValues().Count(), 0);
    EXPECT_EQ(series.YValues().Count(), 0);
}

TEST(LineSeries, AWriteIsSeenByTheNextLayout) {
    TChart chart;
    chart.resize(400, 300);
    auto* series = new TLineSeries(&chart);
    series->AddXY(1, 5);
    series->AddXY(2, 7);
    series->SetParentChart(&chart);
    chart.RepaintNow();
    EXPECT_EQ(chart.LeftAxis().Minimum(), 5);

    series->YValues().SetValue(0, -2);
    // The write asked for a new layout: ChartRect works it out.
    chart.ChartRect();
    EXPECT_EQ(chart.LeftAxis().Minimum(), -2);
}

TEST(SeriesList, AppendsInOrderAndClearingDetachesWithoutFreeing) {
    auto chart = std::make_unique<TChart>();
    TComponent form(nullptr);
    auto* a = new TLineSeries(chart.get());
    auto* b = new TLineSeries(chart.get());
    auto* c = new TLineSeries(&form); // like a series made at design time: the form owns it

    EXPECT_EQ(chart->SeriesCount(), 0) << "a new series is in no chart";
    c->SetParentChart(chart.get());
    a->SetParentChart(chart.get());
    chart->AddSeries(b);
    ASSERT_EQ(chart->SeriesCount(), 3);
    EXPECT_EQ(chart->Series(0), c);
    EXPECT_EQ(chart->Series(1), a);
    EXPECT_EQ(chart->Series(2), b);
    EXPECT_EQ(a->ParentChart(), chart.get());
    EXPECT_EQ(RaisedMessage([&] { chart->Series(3); }),
              QStringLiteral("List index out of bounds (3)"));

    a->SetParentChart(chart.get()); // the same chart again: no second entry
    EXPECT_EQ(chart->SeriesCount(), 3);

    chart->ClearSeriesList();
    EXPECT_EQ(chart->SeriesCount(), 0);
    EXPECT_EQ(a->ParentChart(), nullptr);
    EXPECT_EQ(c->ParentChart(), nullptr);
    // Still alive and still owned: the chart frees its own two, the form its one.
    EXPECT_EQ(chart->ComponentCount(), 2);
    a->AddXY(1, 1);
    EXPECT_EQ(a->Count(), 1);

    // Detaching one series leaves the others in order; freeing one takes it out of the list.
    for (TLineSeries* s : {a, b, c})
        s->SetParentChart(chart.get());
    b->SetParentChart(nullptr);
    EXPECT_EQ(chart->SeriesCount(), 2);
    EXPECT_EQ(chart->Series(1), c);
    delete a;
    ASSERT_EQ(chart->SeriesCount(), 1);
    EXPECT_EQ(chart->Series(0), c);

    // The chart goes first: the form's series is left without a chart, not with a dangling one.
    chart.reset();
    EXPECT_EQ(c->ParentChart(), nullptr);
}

TEST(SeriesList, ASeriesMovesFromOneChartToAnother) {
    TChart first;
    TChart second;
    TLineSeries series(nullptr);
    series.SetParentChart(&first);
    series.SetParentChart(&second);
    EXPECT_EQ(first.SeriesCount(), 0);
    ASSERT_EQ(second.SeriesCount(), 1);
    EXPECT_EQ(second.Series(0), &series);
    second.RemoveSeries(&series);
    EXPECT_EQ(series.ParentChart(), nullptr);
}

TEST(SeriesList, AutomaticColourComesFromThePaletteAndStays) {
    TChart chart;
    auto* a = new TLineSeries(&chart);
    auto* b = new TLineSeries(&chart);
    auto* fixed = new TLineSeries(&chart);
    EXPECT_EQ(a->SeriesColor(), clTeeColor) << "no colour before it is in a chart";

    a->SetParentChart(&chart);
    b->SetParentChart(&chart);
    fixed->SetSeriesColor(clBlack);
    fixed->SetParentChart(&chart);
    EXPECT_EQ(a->SeriesColor(), PaletteColor(0));
    EXPECT_EQ(b->SeriesColor(), PaletteColor(1));
    EXPECT_NE(a->SeriesColor(), b->SeriesColor());
    EXPECT_EQ(fixed->SeriesColor(), clBlack) << "a colour set before adding is kept";
    for (int i = 0; i < PaletteSize(); ++i)
        EXPECT_NE(PaletteColor(i), clWhite) << "white would not show on the white plotting area";

    // Re-coloured, the series keeps the new colour through a clear and a re-add.
    a->SetSeriesColor(clNavy);
    chart.ClearSeriesList();
    a->SetParentChart(&chart);
    b->SetParentChart(&chart);
    EXPECT_EQ(a->SeriesColor(), clNavy);
    EXPECT_EQ(b->SeriesColor(), PaletteColor(1));

    // Back on the automatic colour, it is drawn (and read) in a palette colour again.
    a->SetSeriesColor(clTeeColor);
    EXPECT_EQ(a->SeriesColor(), PaletteColor(0));
    a->SetSeriesColor(clNavy);

    // A newcomer takes the first palette colour that no series of the chart uses.
    auto* c = new TLineSeries(&chart);
    c->SetParentChart(&chart);
    EXPECT_EQ(c->SeriesColor(), PaletteColor(0));
    auto* d = new TLineSeries(&chart);
    d->SetParentChart(&chart);
    EXPECT_EQ(d->SeriesColor(), PaletteColor(2));
}

TEST(SeriesList, MoreSeriesThanPaletteColoursStillGetColours) {
    TChart chart;
    std::vector<TLineSeries*> series;
    for (int i = 0; i < PaletteSize() + 3; ++i) {
        series.push_back(new TLineSeries(&chart));
        series.back()->SetParentChart(&chart);
    }
    for (TLineSeries* s : series)
        EXPECT_NE(s->SeriesColor(), clTeeColor);
    EXPECT_EQ(series[static_cast<std::size_t>(PaletteSize())]->SeriesColor(), PaletteColor(0));
}
