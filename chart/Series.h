// Line series: the values a chart draws as one line, and the value lists that hold them.
//
// A series is a non-visual component: its owner (the chart, or the form) frees it. It is drawn
// once it is in a chart's series list (SetParentChart). Its points are kept in ascending order
// of X; X values are on the chart's bottom axis, Y values on its left axis. A point whose Y is
// not a finite number is a null point: it is not drawn, and with IgnoreNulls the line joins
// its neighbours across it, otherwise the line breaks there.
#pragma once

#include "ChartColors.h"
#include "Classes.h"

#include <QPointF>
#include <QString>

#include <limits>
#include <optional>
#include <span>
#include <vector>

class TChart;
class TLineSeries;

// The lowest and highest X and Y of a series' drawn points (both values finite numbers).
struct TSeriesExtent {
    bool Any = false; // false: no point is drawn, and the four values mean nothing
    double MinX = 0;
    double MaxX = 0;
    double MinY = 0;
    double MaxY = 0;
};

// The X or the Y values of a series, by point index. Both lists of a series always have the
// same count. An index outside 0..Count()-1 raises EChartException
// "List index out of bounds (<index>)".
class TChartValueList {
public:
    TChartValueList(const TChartValueList&) = delete;
    TChartValueList& operator=(const TChartValueList&) = delete;

    // The values are date-time values (days; the time of day in the fraction): the axis that
    // draws them labels them as times.
    bool DateTime = false;

    int Count() const { return static_cast<int>(FValues.size()); }
    double Value(int index) const;
    double operator[](int index) const { return Value(index); }
    // Writes one value; the series' chart repaints. Writing an X value does not re-order the
    // points.
    void SetValue(int index, double value);

    // Every value at once, by point index, for readers of whole series (painting, axis ranges,
    // analysis). Valid until the series next changes.
    std::span<const double> Values() const { return FValues; }
    // Writes every value at once; the series' chart repaints once. `values` must hold Count()
    // values, else EChartException "Value count does not match (<count>)" and nothing changes.
    void SetValues(std::span<const double> values);

private:
    friend class TLineSeries;
    explicit TChartValueList(TLineSeries* owner) : FOwner(owner) {}
    void CheckIndex(int index) const;

    TLineSeries* FOwner;
    std::vector<double> FValues;
};

class TLineSeries : public TComponent {
public:
    // A new, empty series in no chart. `owner` frees it (may be null: then whoever made it).
    explicit TLineSeries(TComponent* owner);
    // Leaves its chart's series list first.
    ~TLineSeries() override;

    TChartValueList& XValues() { return FXValues; }
    const TChartValueList& XValues() const { return FXValues; }
    TChartValueList& YValues() { return FYValues; }
    const TChartValueList& YValues() const { return FYValues; }
    int Count() const { return FXValues.Count(); }

    // The name in the legend and in read-outs.
    QString Title;

    // Adds a point at its place by X: after every point whose X is lower or equal, so indexes
    // run in ascending X and a point of an existing X goes after the existing ones. Answers the
    // point's index. `color` clTeeColor: the point takes the series' colour. An X that is not a
    // finite number is refused with EChartException "Invalid X value"; nothing is added then.
    int AddXY(double x, double y, const QString& label = QString(), TColor color = clTeeColor);
    // Adds the points (xs[i], ys[i]) with no label in the series' colour, with the same result
    // as AddXY on each in turn, but in one step: the points are appended and the order is
    // restored once, so points that come in falling X cost no more than a sort. Storage is
    // taken once, for exactly the points there are. The two lists must be equally long, else
    // EChartException "Value count does not match (<count>)". An X that is not a finite number
    // is refused as AddXY refuses it: the points before it are added, it and the rest are not.
    void AddXYs(std::span<const double> xs, std::span<const double> ys);
    // The label and colour a point was added with.
    QString XLabel(int index) const;
    TColor ValueColor(int index) const;
    // Removes every point.
    void Clear();

    // The colour the series is drawn in. clTeeColor until it is set or the series is first added
    // to a chart, which then gives it a colour of its palette (it keeps that colour afterwards).
    // Setting clTeeColor while in a chart has the chart pick a palette colour again.
    TColor SeriesColor() const { return FColor; }
    void SetSeriesColor(TColor color);
    // The line's pen; its Color clTeeColor (the default) draws in SeriesColor. Changes show at
    // the chart's next paint (call Repaint to have one).
    TChartPen& LinePen() { return FLinePen; }
    const TChartPen& LinePen() const { return FLinePen; }

    // A small square at every point.
    bool PointerVisible = false;
    // Each point's Y value written above it.
    bool MarksVisible = false;
    bool IgnoreNulls = true;
    // The clicked-point lookup also hits the line between points, not only the points.
    bool ClickableLine = true;

    TChart* ParentChart() const { return FParentChart; }
    // Leaves the old chart's series list and joins the end of the new one's (nullptr: no chart).
    // A series still on clTeeColor takes a colour from the new chart's palette: the first one
    // that no other series of that chart uses, or, when all are in use, the one at its place in
    // the list. The same chart again changes nothing.
    void SetParentChart(TChart* chart);

    // The index of the point under the chart pixel x, y, or -1: a point within a few pixels
    // (the nearest when several are, the earliest of equally near ones), else, with
    // ClickableLine, the first drawn line between two consecutive points within a few pixels,
    // which counts as the earlier of the two. Only the plotting rectangle counts, and only
    // while the series is in a chart; positions are those of the chart's current layout.
    // While the X values are in ascending order (as adding points keeps them) it looks only at
    // the points and lines that reach the mouse's column, found by a binary search, so a move
    // over a chart of millions of points costs a few dozen of them; an X value written out of
    // order makes it go through every point until the points are sorted again.
    int Clicked(int x, int y) const;
    static constexpr int ClickTolerance = 3;

    // Asks the chart for a paint (after changes of plain fields such as Title or LinePen).
    void Repaint();

    // Worked out once after each change of the values, so the axes take their ranges from it
    // instead of going through every point at every paint.
    const TSeriesExtent& Extent() const;

private:
    // Labels and colours are kept only once a point has one of its own: until then both lists
    // are empty and every point reads as unlabelled, in the series' colour.
    bool HasPointStyles() const { return FPointStyles; }
    void MakePointStyles();
    void RestoreOrder(std::size_t sortedCount);
    // Every change of the values comes through here: the extent is worked out anew.
    void ValuesChanged();
    // A write through XValues: whether the X values are still in ascending order.
    void XValueWritten(std::size_t index);
    void XValuesWritten();
    // The points a clicked-point lookup looks at: from First on, up to the first whose column
    // lies right of Right. The whole series unless the X values allow a narrower band.
    struct TColumnBand {
        std::size_t First = 0;
        double Right = std::numeric_limits<double>::infinity();
    };
    // False when no point or line of the series can be within reach of the mouse.
    bool NarrowToColumn(const QPointF& mouse, TColumnBand& band) const;
    int ClickedInBand(const QPointF& mouse, const TColumnBand& band) const;

    TChartValueList FXValues{this};
    TChartValueList FYValues{this};
    bool FPointStyles = false;
    // Every X value is a finite number and none is lower than the one before: what adding
    // points keeps. Only a write through XValues can break it, and only a re-sort restores it.
    bool FXAscending = true;
    std::vector<QString> FLabels;
    std::vector<TColor> FColors;
    TColor FColor = clTeeColor;
    TChartPen FLinePen;
    TChart* FParentChart = nullptr;
    mutable std::optional<TSeriesExtent> FExtent;

    friend class TChart;
    friend class TChartValueList;
};
