// An axis of a chart: its range, its labels, ticks and grid.
//
// A chart has a bottom axis for the series' X values and a left axis for their Y values. Ranges
// are in the values' own units (days on a date-time axis). Each paint of the chart lays the axis
// out: an automatic axis first works its range out from the series it draws, then the chart
// places its labels and gives it its pixel extent, which CalcPosValue uses until the next layout.
#pragma once

#include "ChartColors.h"
#include "SysUtils.h"

#include <QFontMetrics>
#include <QString>

#include <cmath>
#include <vector>

class TChart;

// Raised by an axis that refuses a bound, and by the component for an index past a list's end.
class EChartException : public Exception {
public:
    using Exception::Exception;
};

// One label of an axis, as the layout places it.
struct TAxisLabel {
    double Value = 0;
    QString Text;
};

// The labels and minor ticks of one layout. Step 0: the range is empty or has no room, and
// there is at most one label.
struct TAxisTicks {
    double Step = 0;
    std::vector<TAxisLabel> Labels;
    std::vector<double> MinorTicks;
};

class TChartAxis {
public:
    // Made by the chart, which it belongs to and tells of changes of its range.
    TChartAxis(TChart* chart, bool horizontal);
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    // Automatic: both ends are worked out from the series the axis draws (their lowest and
    // highest values, nulls left out) whenever the chart is laid out, which every paint does.
    // Otherwise AutomaticMinimum and AutomaticMaximum say so for each end on its own; an
    // automatic end never crosses a fixed one. With no values to draw the range stays as it is.
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;

    // The range. On an automatic axis, the ends it last worked out.
    double Minimum() const { return FMinimum; }
    double Maximum() const { return FMaximum; }
    // Raise EChartException "Axis Minimum Value must be <= Maximum" when value > Maximum(), and
    // "Axis Maximum Value must be >= Minimum" when value < Minimum(); the bound is then left as
    // it was. A value that is not a finite number is refused the same way. Equal ends are fine.
    void SetMinimum(double value);
    void SetMaximum(double value);
    // Both ends at once; the axis stops being automatic (all three switches off). Raises
    // "Axis Minimum Value must be <= Maximum" when min > max, and then nothing changes.
    void SetMinMax(double min, double max);

    // Least step between labels, in axis units (5 minutes is 5/1440 on a date-time axis);
    // 0 lets the axis choose. When labels would come closer than LabelsSeparation allows, the
    // step widens to the next round step. Labels sit on whole multiples of the step.
    double Increment = 0;
    // Minor ticks between two labels.
    int MinorTickCount = 3;
    // Least gap between neighbouring labels, in percent of a label's width (bottom axis) or
    // height (left axis); 0 lets labels come up to a few pixels of each other.
    int LabelsSeparation = 100;
    QString Title;
    // Number labels: "0.0" one decimal, "0.00" two, "0" none; each "#" after the point is a
    // further decimal shown only when it is not a trailing zero. The user's decimal separator;
    // no thousands separators. Date-time labels ignore it (see LabelText).
    QString AxisValuesFormat = QStringLiteral("0.###");
    bool GridVisible = true;
    TPenStyle GridStyle = psDot;
    TColor GridColor = clGray;
    bool MinorGridVisible = false;
    TColor MinorGridColor = clSilver;

    bool Horizontal() const { return FHorizontal; }
    // Whether the axis draws date-time values: any of its series' value lists has DateTime
    // set. Worked out with the range; kept when the chart has no series.
    bool IsDateTime() const { return FDateTime; }

    // The pixel (in the chart's coordinates) of a value along the axis, as last laid out:
    // Minimum at the left or bottom edge of the plotting rectangle, Maximum at the right or top.
    // With equal ends every value lies in the middle.
    // Inline: the painter calls it for every point it draws.
    double CalcPosValue(double value) const {
        const double span = FMaximum - FMinimum;
        if (!(span > 0) || !std::isfinite(span))
            return (FStartPixel + FEndPixel) / 2;
        return FStartPixel + (value - FMinimum) / span * (FEndPixel - FStartPixel);
    }

    // A label's text. Date-time axis: the time of day "hh:nn", or "hh:nn:ss" when the step is
    // not a whole number of minutes, or the date "dd-mmm" for steps of a day or more (the
    // user's time separator and month names). Otherwise the value in AxisValuesFormat.
    QString LabelText(double value, double step) const;

    // Layout steps, used by the chart.
    void AdjustRange();
    void SetPixelRange(double start, double end);
    // Labels for an axis `length` pixels long, in the given font.
    TAxisTicks PlaceTicks(int length, const QFontMetrics& metrics) const;

private:
    double NextStep(double step) const;
    std::vector<double> LabelValues(double step) const;

    TChart* FChart;
    bool FHorizontal;
    bool FDateTime = false;
    double FMinimum = 0;
    double FMaximum = 0;
    double FStartPixel = 0;
    double FEndPixel = 0;
};

// A number in a format such as "0.0" or "#,##0.###" (see AxisValuesFormat).
QString FormatAxisValue(const QString& format, double value);
