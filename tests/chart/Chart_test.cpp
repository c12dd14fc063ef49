// The chart widget: its plotting rectangle, the clicked-point lookup, mouse moves, the
// immediate repaint, what it paints, and its design-time set-up from a form resource.
#include "ui_ChartTestForm.h"

#include "Chart.h"
#include "Series.h"
#include "formats.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// A 400x300 chart with fixed ranges 0..10 on both axes and a zig-zag series
// (2,2) (4,8) (6,2) (8,8).
struct ZigZag {
    TChart chart;
    TLineSeries* series;
    ZigZag() {
        chart.resize(400, 300);
        chart.BottomAxis().SetMinMax(0, 10);
        chart.LeftAxis().SetMinMax(0, 10);
        series = new TLineSeries(&chart);
        for (double x : {2.0, 4.0, 6.0, 8.0})
            series->AddXY(x, x == 2.0 || x == 6.0 ? 2 : 8);
        series->SetParentChart(&chart);
    }
    // The chart pixel of a value pair.
    QPoint At(double x, double y) {
        chart.ChartRect(); // lays the chart out
        return QPoint(static_cast<int>(std::lround(chart.BottomAxis().CalcPosValue(x))),
                      static_cast<int>(std::lround(chart.LeftAxis().CalcPosValue(y))));
    }
};

// Pixels of the area where the colour's strong channels clearly lead (anti-aliased edges of a
// line count as long as they keep their hue).
int CountPixelsOfHue(const QImage& image, const QRect& area, QColor hue) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int channels[] = {c.red(), c.green(), c.blue()};
            const int wanted[] = {hue.red(), hue.green(), hue.blue()};
            bool match = true;
            for (int i = 0; i < 3; ++i)
                match = match && (wanted[i] > 128 ? channels[i] > 150 : channels[i] < 110);
            if (match)
                ++count;
        }
    return count;
}

} // namespace

TEST(Chart, ClickedFindsPointsAndTheLineBetweenThem) {
    ZigZag z;
    const QPoint p1 = z.At(4, 8);
    EXPECT_EQ(z.series->Clicked(p1.x(), p1.y()), 1) << "on a point";
    EXPECT_EQ(z.series->Clicked(p1.x() + 2, p1.y() + 1), 1) << "a pixel or two off a point";
    const QPoint p3 = z.At(8, 8);
    EXPECT_EQ(z.series->Clicked(p3.x(), p3.y()), 3) << "the last point";

    // Halfway along a segment: the earlier of its two points.
    const QPoint between01 = z.At(3, 5);
    EXPECT_EQ(z.series->Clicked(between01.x(), between01.y()), 0);
    const QPoint between12 = z.At(5, 5);
    EXPECT_EQ(z.series->Clicked(between12.x(), between12.y()), 1);
    const QPoint between23 = z.At(7, 5);
    EXPECT_EQ(z.series->Clicked(between23.x() + 1, between23.y()), 2);

    // Off the line: beside a segment, before the first point, after the last.
    const QPoint off = z.At(3, 8);
    EXPECT_EQ(z.series->Clicked(off.x(), off.y()), -1);
    const QPoint before = z.At(1, 2);
    EXPECT_EQ(z.series->Clicked(before.x(), before.y()), -1);
    const QPoint after = z.At(9, 8);
    EXPECT_EQ(z.series->Clicked(after.x(), after.y()), -1);

    // Only the points count when the line is not clickable.
    z.series->ClickableLine = false;
    EXPECT_EQ(z.series->Clicked(between01.x(), between01.y()), -1);
    EXPECT_EQ(z.series->Clicked(p1.x(), p1.y()), 1);
}

TEST(Chart, ClickedNeedsTheChartAndItsPlottingRectangle) {
    ZigZag z;
    const QRect rect = z.chart.ChartRect();
    // A point on the left edge of the range: hit inside the rectangle, not just outside it.
    z.series->AddXY(0, 5);
    const QPoint edge = z.At(0, 5);
    EXPECT_EQ(edge.x(), rect.left());
    EXPECT_EQ(z.series->Clicked(edge.x(), edge.y()), 0);
    EXPECT_EQ(z.series->Clicked(rect.left() - 1, edge.y()), -1);

    z.series->SetParentChart(nullptr);
    EXPECT_EQ(z.series->Clicked(edge.x(), edge.y()), -1) << "a series in no chart is not drawn";
}

TEST(Chart, ClickedOnAnUprightMarkerAndOnAPointTwoSeriesShare) {
    ZigZag z;
    auto* marker = new TLineSeries(&z.chart);
    marker->AddXY(5, 1);
    marker->AddXY(5, 3);
    marker->SetParentChart(&z.chart);
    const QPoint middle = z.At(5, 2);
    EXPECT_EQ(marker->Clicked(middle.x(), middle.y()), 0);
    EXPECT_EQ(z.series->Clicked(middle.x(), middle.y()), -1);

    auto* other = new TLineSeries(&z.chart);
    other->AddXY(0, 0);
    other->AddXY(4, 8);
    other->SetParentChart(&z.chart);
    const QPoint shared = z.At(4, 8);
    EXPECT_EQ(z.series->Clicked(shared.x(), shared.y()), 1);
    EXPECT_EQ(other->Clicked(shared.x(), shared.y()), 1);
}

TEST(Chart, NullPointsJoinOrBreakTheClickableLine) {
    ZigZag z;
    z.series->Clear();
    z.series->AddXY(2, 5);
    z.series->AddXY(5, std::nan(""));
    z.series->AddXY(8, 5);
    const QPoint middle = z.At(4, 5);
    EXPECT_EQ(z.series->Clicked(middle.x(), middle.y()), 0) << "joined across the null point";
    z.series->IgnoreNulls = false;
    EXPECT_EQ(z.series->Clicked(middle.x(), middle.y()), -1) << "broken at the null point";
}

namespace {

// A series' points as the chart's current layout places them; none where a point is not drawn
// (a pixel coordinate that is not finite).
using Projected = std::vector<std::optional<QPointF>>;
Projected Project(const TLineSeries& series) {
    Projected points;
    for (int i = 0; i < series.Count(); ++i) {
        const QPointF p(series.ParentChart()->BottomAxis().CalcPosValue(series.XValues()[i]),
                        series.ParentChart()->LeftAxis().CalcPosValue(series.YValues()[i]));
        points.push_back(std::isfinite(p.x()) && std::isfinite(p.y()) ? std::optional(p)
                                                                      : std::nullopt);
    }
    return points;
}

// The clicked-point lookup as it reads plainly: every point looked at, the nearest within the
// tolerance (the earliest of equally near ones), else the first drawn segment within it.
int ClickedByFullScan(const TLineSeries& series, const Projected& points, int x, int y) {
    if (series.Count() == 0 || !series.ParentChart()->ChartRect().contains(x, y))
        return -1;
    const double reach = TLineSeries::ClickTolerance + 0.5;
    const QPointF mouse(x, y);
    int nearest = -1;
    double nearestDistance = reach;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i] && QLineF(mouse, *points[i]).length() < nearestDistance) {
            nearestDistance = QLineF(mouse, *points[i]).length();
            nearest = static_cast<int>(i);
        }
    }
    if (nearest >= 0 || !series.ClickableLine)
        return nearest;
    std::optional<std::size_t> previous;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i]) {
            if (!series.IgnoreNulls)
                previous.reset();
            continue;
        }
        if (previous) {
            const QPointF a = *points[*previous];
            const QPointF ab = *points[i] - a;
            const double length2 = QPointF::dotProduct(ab, ab);
            const double t =
                length2 > 0 ? std::clamp(QPointF::dotProduct(mouse - a, ab) / length2, 0.0, 1.0)
                            : 0.0;
            if (QLineF(mouse, a + t * ab).length() <= reach)
                return static_cast<int>(*previous);
        }
        previous = i;
    }
    return -1;
}

} // namespace

TEST(Chart, ClickedAnswersAsAFullScanAtEveryPixel) {
    TChart chart;
    chart.resize(150, 110);
    chart.BottomAxis().SetMinMax(0, 10);
    auto add = [&](std::initializer_list<std::pair<double, double>> points) {
        auto* series = new TLineSeries(&chart);
        for (const auto& [x, y] : points)
            series->AddXY(x, y);
        series->SetParentChart(&chart);
        return series;
    };
    const double null = std::nan("");
    // Steep segments, and a run of equal X that jumps up and down.
    add({{1, 0}, {1.05, 10}, {1.1, 0}, {3, 3}, {3, 9}, {3, 1}, {3, 5}, {6, 4}, {6.02, 8}});
    // Null points: joined across, then broken there.
    add({{0.5, 2}, {2, null}, {3.5, 7}, {4, null}, {4.2, null}, {8, 2}});
    TLineSeries* broken = add({{0.5, 8}, {2, null}, {3.5, 3}, {4, null}, {4.2, null}, {8, 8}});
    broken->IgnoreNulls = false;
    // Points only.
    add({{2, 2}, {5, 5}, {8, 2}})->ClickableLine = false;
    // Outside the ranges: lines that cross the plot from beyond its edges, and one that starts
    // and ends beyond them.
    add({{-20, 5}, {0.2, 30}, {9.5, -20}, {25, 6}});
    add({{-5, -5}, {15, 15}});
    // An X written out of order is honoured as written.
    TLineSeries* shuffled = add({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    shuffled->XValues().SetValue(1, 4.5);
    // Many points a pixel, as a day of samples is drawn.
    std::vector<double> xs, ys;
    for (int i = 0; i < 300; ++i) {
        xs.push_back(10.0 - i / 30.0);
        ys.push_back(i == 150 ? null : 5 + 4 * std::sin(i * 0.7) * std::cos(i * 0.1));
    }
    add({})->AddXYs(xs, ys);

    // The plot's full range, one where the points lie outside it, and a flat one (every value
    // in its middle row, null points included).
    const std::pair<double, double> ranges[] = {{0, 10}, {3, 4}, {5, 5}};
    int hits = 0;
    for (const auto& [min, max] : ranges) {
        chart.LeftAxis().SetMinMax(min, max);
        chart.ChartRect(); // lays the chart out for the new range
        std::vector<Projected> projected;
        for (int i = 0; i < chart.SeriesCount(); ++i)
            projected.push_back(Project(*chart.Series(i)));
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x)
                for (int i = 0; i < chart.SeriesCount(); ++i) {
                    const TLineSeries* series = chart.Series(i);
                    const int expected =
                        ClickedByFullScan(*series, projected[static_cast<std::size_t>(i)], x, y);
                    ASSERT_EQ(series->Clicked(x, y), expected)
                        << "series " << i << " at " << x << "," << y << ", range " << min;
                    hits += expected >= 0;
                }
    }
    EXPECT_GT(hits, 1000) << "the series are in the plot";
}

TEST(Chart, ChartRectLiesInsideTheWidgetClearOfTitleLegendAndLabels) {
    const QSize sizes[] = {{722, 457}, {400, 300}, {200, 150}, {1600, 900}};
    for (const QSize size : sizes) {
        TChart chart;
        chart.resize(size);
        chart.Title = QStringList{QStringLiteral("Solar outage SNR dip versus UTC time of day")};
        chart.BottomAxis().Title = QStringLiteral("Time of day (UTC)");
        chart.LeftAxis().Title = QStringLiteral("Degradation in dB");
        auto* series = new TLineSeries(&chart);
        series->Title = QStringLiteral("05-Oct");
        series->AddXY(0, -3);
        series->AddXY(1, 0.2);
        series->SetParentChart(&chart);

        const QRect rect = chart.ChartRect();
        const TChartLayout& layout = chart.Layout();
        const QRect widget(QPoint(0, 0), size);
        ASSERT_FALSE(rect.isEmpty()) << size.width();
        EXPECT_TRUE(widget.contains(rect)) << size.width();
        EXPECT_GT(rect.top(), layout.TitleRect.bottom()) << size.width();
        EXPECT_FALSE(rect.intersects(layout.LegendRect)) << size.width();
        EXPECT_LT(rect.right(), layout.LegendRect.left()) << size.width();
        EXPECT_TRUE(widget.contains(layout.LegendRect)) << size.width();
        EXPECT_TRUE(widget.contains(layout.BottomTitleRect)) << size.width();
        EXPECT_GT(layout.BottomTitleRect.top(), rect.bottom()) << size.width();
        EXPECT_LT(layout.LeftTitleRect.right(), rect.left()) << size.width();
    }

    TChart tiny;
    tiny.resize(20, 10);
    EXPECT_TRUE(tiny.ChartRect().isEmpty()) << "no room to plot in";
}

TEST(Chart, MouseMovesReachTheHandlerInChartPixels) {
    TChart chart;
    chart.resize(400, 300);
    chart.show();
    TComponent* sender = nullptr;
    int x = -1, y = -1;
    Qt::KeyboardModifiers shift;
    chart.OnMouseMove = [&](TComponent* Sender, Qt::KeyboardModifiers Shift, int X, int Y) {
        sender = Sender;
        shift = Shift;
        x = X;
        y = Y;
    };
    QMouseEvent move(QEvent::MouseMove, QPointF(123, 87), chart.mapToGlobal(QPointF(123, 87)),
                     Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(&chart, &move);
    EXPECT_EQ(sender, static_cast<TComponent*>(&chart));
    EXPECT_EQ(x, 123);
    EXPECT_EQ(y, 87);
    EXPECT_EQ(shift, Qt::ShiftModifier);

    // A failing handler goes to the standard exception report, never into Qt.
    chart.OnMouseMove = [](TComponent*, Qt::KeyboardModifiers, int, int) {
        throw std::runtime_error("handler failed");
    };
    QMouseEvent again(QEvent::MouseMove, QPointF(5, 5), chart.mapToGlobal(QPointF(5, 5)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_NO_THROW(QApplication::sendEvent(&chart, &again));
    EXPECT_EQ(chart.cursor().shape(), Qt::CrossCursor);
}

namespace {

class PaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

} // namespace

TEST(Chart, RepaintNowPaintsBeforeItReturns) {
    TChart chart;
    chart.resize(400, 300);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart, 30000));
    PaintCounter counter;
    chart.installEventFilter(&counter);
    auto* series = new TLineSeries(&chart);
    series->AddXY(0, 1);
    series->SetParentChart(&chart); // a paint is now pending
    const int before = counter.Paints;
    chart.RepaintNow();
    EXPECT_EQ(counter.Paints, before + 1);
}

TEST(Chart, PaintsEachSeriesInItsColourAndListsItInTheLegend) {
    TChart chart;
    chart.resize(500, 320);
    chart.BottomAxis().SetMinMax(0, 10);
    auto* red = new TLineSeries(&chart);
    red->SetSeriesColor(clRed);
    red->Title = QStringLiteral("05-Oct");
    red->AddXY(1, 0);
    red->AddXY(9, 1);
    auto* blue = new TLineSeries(&chart);
    blue->SetSeriesColor(clBlue);
    blue->Title = QStringLiteral("06-Oct");
    blue->LinePen().Style = psDot;
    blue->AddXY(1, -1);
    blue->AddXY(9, -2);
    red->SetParentChart(&chart);
    blue->SetParentChart(&chart);

    const QImage image = chart.grab().toImage();
    const TChartLayout& layout = chart.Layout();
    EXPECT_GT(CountPixelsOfHue(image, layout.ChartRect, Qt::red), 100);
    EXPECT_GT(CountPixelsOfHue(image, layout.ChartRect, Qt::blue), 50);
    EXPECT_EQ(layout.LegendEntries, 2);
    EXPECT_GT(CountPixelsOfHue(image, layout.LegendRect, Qt::red), 10);
    EXPECT_GT(CountPixelsOfHue(image, layout.LegendRect, Qt::blue), 5);
    // The plotting area is white inside its frame.
    EXPECT_EQ(image.pixelColor(layout.ChartRect.center() + QPoint(0, 5)), QColor(Qt::white));

    // Without a legend the plotting area takes the room.
    chart.LegendVisible = false;
    chart.Invalidate();
    EXPECT_GT(chart.ChartRect().right(), layout.ChartRect.right());
    EXPECT_TRUE(chart.Layout().LegendRect.isEmpty());
}

// Every pixel column's inked rows: the first and last row whose pixel is clearly darker than
// the white plotting area, or (-1, -1) when none is.
std::vector<std::pair<int, int>> InkedRows(const QImage& image, const QRect& area) {
    std::vector<std::pair<int, int>> rows;
    for (int x = area.left(); x <= area.right(); ++x) {
        std::pair<int, int> inked(-1, -1);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 160) {
                if (inked.first < 0)
                    inked.first = y;
                inked.second = y;
            }
        }
        rows.push_back(inked);
    }
    return rows;
}

TEST(Chart, ALongLineDrawnFromItsColumnReductionLooksLikeTheFullLine) {
    // 4000 noisy points across a plot some 200 pixels wide.
    TChart chart;
    chart.resize(240, 160);
    chart.LegendVisible = false;
    chart.BottomAxis().SetMinMax(-0.05, 1.05);
    auto* series = new TLineSeries(&chart);
    series->SetSeriesColor(clBlue);
    std::vector<double> xs, ys;
    for (int i = 0; i < 4000; ++i) {
        const double x = i / 3999.0;
        xs.push_back(x);
        ys.push_back(-3 * std::exp(-std::pow((x - 0.5) / 0.12, 2)) + 0.3 * std::sin(i * 12.9898));
    }
    series->AddXYs(xs, ys);
    series->SetParentChart(&chart);
    const QImage reduced = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect rect = chart.ChartRect();
    ASSERT_LT(rect.width(), series->Count() / 10);

    // The same chart with the full line drawn over it as the painter would draw it unreduced.
    series->LinePen().Visible = false;
    QImage full = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&full);
        painter.setClipRect(rect.adjusted(1, 1, -1, -1));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(ToQPen(TChartPen{}, clBlue));
        QPolygonF line;
        for (std::size_t i = 0; i < xs.size(); ++i)
            line.append(QPointF(chart.BottomAxis().CalcPosValue(xs[i]),
                                chart.LeftAxis().CalcPosValue(ys[i])));
        painter.drawPolyline(line);
        // What the chart drew instead: at most the lowest and the highest point of a column.
        EXPECT_LE(ColumnReduction(line).size(), 2 * (rect.width() + 1));
    }

    // Each column is inked over the same rows, give or take the anti-aliased pixel at either
    // end. Inside that span the full line crosses the column many times and the reduced one
    // once or twice, so pixels there differ in shade (the full line's are solid, the reduced
    // line's lighter where it crosses a column at a slant); hardly any differ by more than
    // half the scale.
    const auto fullRows = InkedRows(full, rect);
    const auto reducedRows = InkedRows(reduced, rect);
    for (std::size_t c = 0; c < fullRows.size(); ++c) {
        EXPECT_NEAR(reducedRows[c].first, fullRows[c].first, 1) << "column " << c;
        EXPECT_NEAR(reducedRows[c].second, fullRows[c].second, 1) << "column " << c;
    }
    int inked = 0, strongly = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb a = full.pixel(x, y);
            const QRgb b = reduced.pixel(x, y);
            inked += qGray(a) < 160;
            strongly += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))}) > 128;
        }
    }
    EXPECT_GT(inked, 1000);
    EXPECT_LT(strongly * 50, inked);
}

TEST(Chart, ManyPointsArePaintedInLayersThatLookLikeOnePaint) {
    // Three crossing lines of 80 000 points each, the last on top.
    TChart chart;
    chart.resize(300, 200);
    chart.BottomAxis().SetMinMax(-0.05, 1.05);
    const TColor colours[] = {clRed, clGreen, clBlue};
    for (int s = 0; s < 3; ++s) {
        auto* series = new TLineSeries(&chart);
        series->SetSeriesColor(colours[s]);
        series->LinePen().Width = 3;
        std::vector<double> xs, ys;
        for (int i = 0; i < 80000; ++i) {
            xs.push_back(i / 79999.0);
            ys.push_back(s == 1 ? 0.5 : s == 0 ? xs.back() : 1 - xs.back());
        }
        series->AddXYs(xs, ys);
        series->SetParentChart(&chart);
    }
    const QImage layered = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(1); // one thread: painted at once
    const QImage direct = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QThreadPool::globalInstance()->setMaxThreadCount(threads);

    int worst = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            const QRgb a = direct.pixel(x, y);
            const QRgb b = layered.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    }
    EXPECT_LE(worst, 8);
    // Where all three cross, the blue line, last in the list, is on top.
    const QPoint crossing(qRound(chart.BottomAxis().CalcPosValue(0.5)),
                          qRound(chart.LeftAxis().CalcPosValue(0.5)));
    EXPECT_EQ(layered.pixelColor(crossing), QColor(Qt::blue));
}

TEST(Chart, FormResourceCarriesTheDesignTimeSetUp) {
    QWidget form;
    Ui::ChartTestForm ui;
    ui.setupUi(&form);
    TChart& chart = *ui.Chart;

    EXPECT_EQ(chart.Title,
              QStringList{QStringLiteral("Solar outage SNR dip versus UTC time of day")});
    EXPECT_FALSE(chart.View3D);
    EXPECT_EQ(chart.BackColor, clWhite);
    EXPECT_EQ(chart.MarginTop, 2);
    EXPECT_EQ(chart.MarginBottom, 2);
    EXPECT_EQ(chart.MarginLeft, 1);
    EXPECT_EQ(chart.MarginRight, 1);
    EXPECT_TRUE(chart.LegendVisible);
    EXPECT_EQ(chart.LegendColorWidth, 35);
    EXPECT_EQ(chart.LegendSymbolWidth, 35);

    const TChartAxis& bottom = chart.BottomAxis();
    EXPECT_FALSE(bottom.Automatic || bottom.AutomaticMinimum || bottom.AutomaticMaximum);
    // The designed minimum lies above the default maximum: it came first all the same.
    EXPECT_EQ(bottom.Minimum(), 43013.44791666666);
    EXPECT_EQ(bottom.Maximum(), 43013.46875);
    // uic writes a double with 15 decimals.
    EXPECT_NEAR(bottom.Increment, 0.003472222222222222, 1e-15);
    EXPECT_EQ(bottom.LabelsSeparation, 0);
    EXPECT_EQ(bottom.MinorTickCount, 4);
    EXPECT_EQ(bottom.GridStyle, psSolid);
    EXPECT_TRUE(bottom.MinorGridVisible);
    EXPECT_EQ(bottom.MinorGridColor, clSilver);
    EXPECT_EQ(bottom.Title, QStringLiteral("Time of day (UTC)"));

    const TChartAxis& left = chart.LeftAxis();
    EXPECT_TRUE(left.Automatic);
    EXPECT_EQ(left.AxisValuesFormat, QStringLiteral("0.0"));
    EXPECT_EQ(left.GridStyle, psSolid);
    EXPECT_EQ(left.GridColor, clSilver);
    EXPECT_EQ(left.Title, QStringLiteral("Degradation in dB"));

    // The designed range, labelled every five minutes from end to end.
    SetFormatSettings(TFormatSettings{});
    auto* day = new TLineSeries(&chart);
    day->XValues().DateTime = true;
    day->AddXY(43013.46, -1);
    day->SetParentChart(&chart);
    chart.RepaintNow();
    QStringList texts;
    for (const TAxisLabel& label : chart.Layout().Bottom.Labels)
        texts.append(label.Text);
    EXPECT_EQ(texts, QStringList({"10:45", "10:50", "10:55", "11:00", "11:05", "11:10", "11:15"}));
    ResetFormatSettings();

    // A colour name that is not one leaves the colour as it was.
    chart.setProperty("BackColor", QStringLiteral("clNoSuchColour"));
    EXPECT_EQ(chart.BackColor, clWhite);
    chart.setProperty("BackColor", QStringLiteral("$00C0C0C0"));
    EXPECT_EQ(chart.BackColor, clSilver);
}
