// Where a chart's parts go, and how they are painted.
//
// LayoutChart works the automatic axis ranges out, then places the title, the legend, the
// plotting rectangle and the axes' labels and titles inside the chart's size and margins, and
// gives each axis its pixel extent. PaintChart draws a layout; it changes nothing.
#pragma once

#include "ChartAxis.h"

#include <QFont>
#include <QPolygonF>
#include <QRect>
#include <QSize>

class QPainter;
class TChart;

struct TChartLayout {
    QSize Size;
    // The plotting rectangle, frame included. Empty when the chart is too small to plot in.
    QRect ChartRect;
    QRect TitleRect;
    TAxisTicks Bottom;
    TAxisTicks Left;
    QRect BottomTitleRect;
    // The left axis' title, written upwards, centred in this rectangle.
    QRect LeftTitleRect;
    // The legend's box, empty when it is not shown, and how many entries it holds.
    QRect LegendRect;
    int LegendEntries = 0;
    int LegendRowHeight = 0;
    int LegendSlot = 0;
};

constexpr int kMajorTickLength = 4;
constexpr int kMinorTickLength = 2;

// The font of the title lines: the chart's own, bold and a point larger.
QFont ChartTitleFont(const QFont& font);

// One unbroken run of a series' line, in pixels, drawn with the painter's pen. A run with more
// points than the plot has pixel columns is drawn from its ColumnReduction, so a paint costs
// what the pixels need, not what the points do.
void DrawSeriesLine(QPainter& painter, const QPolygonF& run, int columns);
// The run reduced to what shows in each pixel column: of each stretch of consecutive points in
// one column, its lowest and its highest point (one point when they are the same), in the order
// the line passes them, so the line joins every column's extremes as the full line does.
QPolygonF ColumnReduction(const QPolygonF& run);

TChartLayout LayoutChart(const TChart& chart, TChartAxis& bottom, TChartAxis& left);
void PaintChart(QPainter& painter, const TChart& chart, const TChartLayout& layout);
