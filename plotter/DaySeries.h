// The analysis of one day series of the plotting window: 1-2-1 smoothing, baseline removal with
// the search for the day's dip, and the colour and line of a day by its distance from the
// deepest day.
#pragma once

#include "ChartAxis.h"
#include "Series.h"
#include "SysUtils.h"

// One day series in the chart and its dip; record i belongs to the chart's series i.
struct TDipRecord {
    TLineSeries* Series; // owned by the chart
    double Dip;          // dB, the lowest value after baseline removal (0 or below)
    TDateTime DipTime;   // the day's date plus the time of day of that lowest point
};

// One pass of 1-2-1 smoothing over the Y values: each inner value becomes a quarter of each
// neighbour plus half of itself, all taken from the values before the pass. The first and the
// last value stay; with fewer than three points nothing changes. X values are not touched.
void SmoothSeries(TLineSeries& series);

// Subtracts the series' baseline from every Y value and finds the dip. The baseline is the mean
// of the points of the first minute plus the first point after it, and of the points of the
// last minute plus the last point before it (a point both take counts twice). The dip is the
// lowest corrected value (the earliest of equal ones) and `dipTime` its X. The series must hold
// at least one point; an empty one raises EChartException "List index out of bounds (0)".
void RemoveBaseline(TLineSeries& series, double& dip, double& dipTime);

// How a day is drawn by its distance d from the deepest day in the order the days were loaded:
// `setColor` says whether `color` replaces the colour the chart gave it; `dotted` whether its
// line is dotted (days after the deepest one, up to 100 of them).
void DayStyle(int d, bool& setColor, TColor& color, bool& dotted);
