// Where a chart's parts go, and how they are painted.
//
// LayoutChart works the automatic axis ranges out, then places the title, the legend, the
// plotting rectangle and the axes' labels and titles inside the chart's size and margins, and
// gives each axis its pixel extent. PaintChart draws a layout; it changes nothing.
#pragma once

#include "ChartAxis.h"

#include <QFont>
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

TChartLayout LayoutChart(const TChart& chart, TChartAxis& bottom, TChartAxis& left);
void PaintChart(QPainter& painter, const TChart& chart, const TChartLayout& layout);
