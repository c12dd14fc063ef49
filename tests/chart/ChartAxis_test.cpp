// Axes: the refusals of crossing bounds, the automatic range, label texts and placing.
#include "Chart.h"
#include "Series.h"
#include "formats.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinute = 1.0 / 1440;

template <class F> QString RaisedMessage(F&& action) {
    try {
        action();
    } catch (const EChartException& e) {
        return e.Message();
    }
    return QStringLiteral("(nothing raised)");
}

const QString kMinimumRefused = QStringLiteral("Axis Minimum Value must be <= Maximum");
const QString kMaximumRefused = QStringLiteral("Axis Maximum Value must be >= Minimum");

} // namespace

TEST(ChartAxis, BoundsThatWouldCrossAreRefusedAndLeftUnchanged) {
    struct Case {
        const char* name;
        bool minimum; // which bound is set
        double value;
        const QString* message; // nullptr: accepted
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"minimum above maximum", true, 21, &kMinimumRefused},
        {"minimum equal to maximum", true, 20, nullptr},
        {"minimum below", true, -5, nullptr},
        {"maximum below minimum", false, 9.5, &kMaximumRefused},
        {"maximum equal to minimum", false, 10, nullptr},
        {"maximum above", false, 1e6, nullptr},
        {"minimum not a number", true, nan, &kMinimumRefused},
        {"maximum not a number", false, nan, &kMaximumRefused},
        {"minimum minus infinity", true, -INFINITY, &kMinimumRefused},
        {"maximum infinity", false, INFINITY, &kMaximumRefused},
    };
    for (const Case& c : cases) {
        TChart chart;
        TChartAxis& axis = chart.BottomAxis();
        axis.SetMinMax(10, 20);
        const QString raised = RaisedMessage([&] {
            if (c.minimum)
                axis.SetMinimum(c.value);
            else
                axis.SetMaximum(c.value);
        });
        if (c.message) {
            EXPECT_EQ(raised, *c.message) << c.name;
            EXPECT_EQ(axis.Minimum(), 10) << c.name;
            EXPECT_EQ(axis.Maximum(), 20) << c.name;
        } else {
            EXPECT_EQ(raised, QStringLiteral("(nothing raised)")) << c.name;
            EXPECT_EQ(c.minimum ? axis.Minimum() : axis.Maximum(), c.value) << c.name;
        }
    }
}

TEST(ChartAxis, ATimeWindowMovedPastTheOtherEndIsRefusedUntilTheOtherEndMovesFirst) {
    TChart chart;
    TChartAxis& axis = chart.BottomAxis();
    axis.SetMinMax(645 * kMinute, 675 * kMinute); // 10:45 to 11:15
    // The start moved to 11:30: refused, the range stays.
    EXPECT_EQ(RaisedMessage([&] { axis.SetMinimum(690 * kMinute); }), kMinimumRefused);
    EXPECT_EQ(axis.Minimum(), 645 * kMinute);
    EXPECT_EQ(axis.Maximum(), 675 * kMinute);
    // The stop to 12:00 first, then the start to 11:30.
    axis.SetMaximum(720 * kMinute);
    axis.SetMinimum(690 * kMinute);
    EXPECT_EQ(axis.Minimum(), 690 * kMinute);
    EXPECT_EQ(axis.Maximum(), 720 * kMinute);
}

TEST(ChartAxis, SetMinMaxRefusesACrossedPairAndEndsTheAutomaticRange) {
    TChart chart;
    TChartAxis& axis = chart.LeftAxis();
    EXPECT_EQ(RaisedMessage([&] { axis.SetMinMax(5, 1); }), kMinimumRefused);
    EXPECT_TRUE(axis.Automatic);
    EXPECT_EQ(axis.Minimum(), 0);
    EXPECT_EQ(axis.Maximum(), 0);
    axis.SetMinMax(-1, 3);
    EXPECT_FALSE(axis.Automatic || axis.AutomaticMinimum || axis.AutomaticMaximum);

    // Fixed now: the series do not move it.
    auto* series = new TLineSeries(&chart);
    series->AddXY(0, -50);
    series->SetParentChart(&chart);
    chart.RepaintNow();
    EXPECT_EQ(axis.Minimum(), -1);
    EXPECT_EQ(axis.Maximum(), 3);
}

TEST(ChartAxis, AutomaticRangeIsWorkedOutByTheRepaintFromTheSeriesItDraws) {
    TChart chart;
    chart.resize(500, 300);
    auto* a = new TLineSeries(&chart);
    auto* b = new TLineSeries(&chart);
    a->AddXY(1, -1.5);
    a->AddXY(2, 0.25);
    a->AddXY(3, std::nan("")); // a null point counts for nothing
    b->AddXY(1, -3.25);
    b->AddXY(2, 0.5);
    auto* loose = new TLineSeries(&chart); // not in the chart: not drawn, not counted
    loose->AddXY(1, -100);
    a->SetParentChart(&chart);
    b->SetParentChart(&chart);

    EXPECT_EQ(chart.LeftAxis().Minimum(), 0) << "worked out by a paint, not before";
    chart.RepaintNow(); // the chart is not on screen: the range is worked out all the same
    EXPECT_EQ(chart.LeftAxis().Minimum(), -3.25);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 0.5);
    EXPECT_EQ(chart.BottomAxis().Minimum(), 1);
    EXPECT_EQ(chart.BottomAxis().Maximum(), 2);

    // A marker 0.1 below the lower end widens the range at the next repaint, on screen too.
    chart.show();
    const double m = chart.LeftAxis().Minimum();
    auto* marker = new TLineSeries(&chart);
    marker->AddXY(1.5, m - 0.1);
    marker->AddXY(1.5, m + 0.1);
    marker->SetParentChart(&chart);
    chart.RepaintNow();
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), -3.35);

    // With no series left the range stays where it was.
    chart.ClearSeriesList();
    chart.RepaintNow();
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), -3.35);
}

TEST(ChartAxis, AnAutomaticEndNeverCrossesAFixedOne) {
    TChart chart;
    TChartAxis& axis = chart.LeftAxis();
    axis.SetMinMax(0, 10);
    axis.AutomaticMinimum = true; // only the lower end follows the data
    auto* series = new TLineSeries(&chart);
    series->AddXY(0, 15);
    series->AddXY(1, 20);
    series->SetParentChart(&chart);
    chart.RepaintNow();
    EXPECT_EQ(axis.Minimum(), 10);
    EXPECT_EQ(axis.Maximum(), 10);
}

TEST(ChartAxis, NumberLabelsFollowTheValuesFormat) {
    struct Case {
        const char* format;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {"0.0", -4.26, "-4.3"},      {"0.0", 0.5, "0.5"},  {"0.0", -0.04, "0.0"},
        {"0.0", 12, "12.0"},         {"0", 2.6, "3"},      {"0.00", 0.1, "0.10"},
        {"0.###", 1.5, "1.5"},       {"0.###", 2, "2"},    {"0.###", 0.12345, "0.123"},
        {"#,##0.###", 1.25, "1.25"}, {"", 0.5, "0.5"},     {"0.0#", 1.2, "1.2"},
        {"0.0#", 1.234, "1.23"},     {"0.0", -0.0, "0.0"},
    };
    SetFormatSettings(TFormatSettings{});
    for (const Case& c : cases)
        EXPECT_EQ(FormatAxisValue(QString::fromLatin1(c.format), c.value),
                  QString::fromLatin1(c.text))
            << c.format << " " << c.value;

    TFormatSettings comma;
    comma.DecimalSeparator = u',';
    SetFormatSettings(comma);
    EXPECT_EQ(FormatAxisValue(QStringLiteral("0.0"), -1.5), QStringLiteral("-1,5"));
    EXPECT_EQ(FormatAxisValue(QStringLiteral("0.###"), 2.5), QStringLiteral("2,5"));
    ResetFormatSettings();
}

namespace {

// A chart with one date-time series over the given time-of-day range, laid out at `width`.
struct TimeChart {
    TChart chart;
    TimeChart(int width, double from, double to, double increment) {
        SetFormatSettings(TFormatSettings{});
        chart.resize(width, 300);
        auto* series = new TLineSeries(&chart);
        series->XValues().DateTime = true;
        series->AddXY(43013 + from, 0);
        series->AddXY(43013 + to, -1);
        series->SetParentChart(&chart);
        chart.BottomAxis().SetMinMax(43013 + from, 43013 + to);
        chart.BottomAxis().Increment = increment;
        chart.BottomAxis().MinorTickCount = 4;
        chart.BottomAxis().LabelsSeparation = 0;
        chart.RepaintNow();
    }
    ~TimeChart() { ResetFormatSettings(); }
    QStringList Texts() const {
        QStringList texts;
        for (const TAxisLabel& label : chart.Layout().Bottom.Labels)
            texts.append(label.Text);
        return texts;
    }
};

} // namespace

TEST(ChartAxis, TimeAxisLabelsTimesOfDayFromMinimumToMaximumByTheIncrement) {
    TimeChart wide(722, 645 * kMinute, 675 * kMinute, 5 * kMinute);
    EXPECT_TRUE(wide.chart.BottomAxis().IsDateTime());
    EXPECT_EQ(wide.Texts(),
              QStringList({"10:45", "10:50", "10:55", "11:00", "11:05", "11:10", "11:15"}));
    // Four minor ticks in each five minutes: every whole minute that has no label.
    EXPECT_EQ(wide.chart.Layout().Bottom.MinorTicks.size(), 24u);

    // Labels sit on multiples of the increment, whatever the ends.
    TimeChart offset(722, 647 * kMinute, 677 * kMinute, 5 * kMinute);
    EXPECT_EQ(offset.Texts(), QStringList({"10:50", "10:55", "11:00", "11:05", "11:10", "11:15"}));

    // An increment below a minute shows the seconds.
    TimeChart seconds(722, 660 * kMinute, 661 * kMinute, 15.0 / 86400);
    EXPECT_EQ(seconds.Texts(),
              QStringList({"11:00:00", "11:00:15", "11:00:30", "11:00:45", "11:01:00"}));
}

TEST(ChartAxis, LabelsThatWouldOverlapGetAWiderStep) {
    // Thirty-second labels over half an hour cannot fit 300 pixels.
    TimeChart narrow(300, 645 * kMinute, 675 * kMinute, 30.0 / 86400);
    const TAxisTicks& ticks = narrow.chart.Layout().Bottom;
    ASSERT_GE(ticks.Labels.size(), 2u);
    EXPECT_GT(ticks.Step, 30.0 / 86400);
    const QFontMetrics metrics(narrow.chart.font());
    const TChartAxis& axis = narrow.chart.BottomAxis();
    for (std::size_t i = 1; i < ticks.Labels.size(); ++i) {
        const double gap =
            axis.CalcPosValue(ticks.Labels[i].Value) - axis.CalcPosValue(ticks.Labels[i - 1].Value);
        EXPECT_GE(gap, metrics.horizontalAdvance(ticks.Labels[i].Text)) << i;
    }
    // And they are still whole minutes, written without seconds.
    for (const TAxisLabel& label : ticks.Labels)
        EXPECT_EQ(label.Text.size(), 5) << label.Text.toStdString();
}

TEST(ChartAxis, LeftLabelsCoverTheAutomaticRangeInOneDecimal) {
    TChart chart;
    chart.resize(722, 457);
    chart.LeftAxis().AxisValuesFormat = QStringLiteral("0.0");
    auto* series = new TLineSeries(&chart);
    series->AddXY(0, 0.2);
    series->AddXY(1, -4.4);
    series->SetParentChart(&chart);
    chart.RepaintNow();
    const TAxisTicks& ticks = chart.Layout().Left;
    ASSERT_GE(ticks.Labels.size(), 3u);
    for (const TAxisLabel& label : ticks.Labels) {
        EXPECT_GE(label.Value, -4.4 - 1e-9);
        EXPECT_LE(label.Value, 0.2 + 1e-9);
        EXPECT_TRUE(label.Text.contains(u'.')) << label.Text.toStdString();
    }
    EXPECT_TRUE(std::any_of(ticks.Labels.begin(), ticks.Labels.end(),
                            [](const TAxisLabel& l) { return l.Text == QStringLiteral("0.0"); }));
}
