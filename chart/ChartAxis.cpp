#include "ChartAxis.h"

#include "Chart.h"
#include "Series.h"
#include "formats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// Round steps of a date-time axis, in seconds: up to two weeks, then plain round numbers of days.
constexpr double kTimeSteps[] = {1,     2,     5,     10,    15,     30,     60,
                                 120,   300,   600,   900,   1800,   3600,   7200,
                                 10800, 21600, 43200, 86400, 172800, 604800, 1209600};

// The next of 1, 2, 5 times a power of ten above `step`.
double NextRoundStep(double step) {
    const double base = std::pow(10.0, std::floor(std::log10(step)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * base > step * (1 + 1e-9))
            return m * base;
    return 20 * base;
}

bool AllZeroDigits(const QString& text) {
    for (QChar c : text)
        if (c.isDigit() && c != u'0')
            return false;
    return true;
}

} // namespace

TChartAxis::TChartAxis(TChart* chart, bool horizontal) : FChart(chart), FHorizontal(horizontal) {}

void TChartAxis::SetMinimum(double value) {
    // A NaN compares false with everything, so the test is written to refuse it too.
    if (!(value <= FMaximum) || !std::isfinite(value))
        throw EChartException(QStringLiteral("Axis Minimum Value must be <= Maximum"));
    if (value == FMinimum)
        return;
    FMinimum = value;
    if (FChart)
        FChart->Invalidate();
}

void TChartAxis::SetMaximum(double value) {
    if (!(value >= FMinimum) || !std::isfinite(value))
        throw EChartException(QStringLiteral("Axis Maximum Value must be >= Minimum"));
    if (value == FMaximum)
        return;
    FMaximum = value;
    if (FChart)
        FChart->Invalidate();
}

void TChartAxis::SetMinMax(double min, double max) {
    if (!(min <= max) || !std::isfinite(min) || !std::isfinite(max))
        throw EChartException(QStringLiteral("Axis Minimum Value must be <= Maximum"));
    Automatic = AutomaticMinimum = AutomaticMaximum = false;
    FMinimum = min;
    FMaximum = max;
    if (FChart)
        FChart->Invalidate();
}

QString TChartAxis::LabelText(double value, double step) const {
    if (!FDateTime)
        return FormatAxisValue(AxisValuesFormat, value);
    if (step >= 1.0 - 1e-9)
        return FormatDateTime(QStringLiteral("dd-mmm"), value);
    // Without a step (a single label) the value itself decides whether seconds are needed.
    const double unit = step > 0 ? step : std::fmod(std::fabs(value), 1.0);
    const long long ms = std::llround(unit * 86400000.0);
    if (ms % 60000 != 0)
        return FormatDateTime(QStringLiteral("hh:nn:ss"), value);
    return FormatDateTime(QStringLiteral("hh:nn"), value);
}

void TChartAxis::AdjustRange() {
    if (!FChart || FChart->SeriesCount() == 0)
        return;
    bool dateTime = false;
    bool any = false;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (int i = 0; i < FChart->SeriesCount(); ++i) {
        const TLineSeries* series = FChart->Series(i);
        const TChartValueList& values = FHorizontal ? series->XValues() : series->YValues();
        dateTime = dateTime || values.DateTime;
        const TSeriesExtent& extent = series->Extent();
        if (!extent.Any)
            continue;
        low = std::min(low, FHorizontal ? extent.MinX : extent.MinY);
        high = std::max(high, FHorizontal ? extent.MaxX : extent.MaxY);
        any = true;
    }
    FDateTime = dateTime;
    if (!any)
        return;
    const bool autoMin = Automatic || AutomaticMinimum;
    const bool autoMax = Automatic || AutomaticMaximum;
    if (autoMin && autoMax) {
        FMinimum = low;
        FMaximum = high;
    } else if (autoMin) {
        FMinimum = std::min(low, FMaximum);
    } else if (autoMax) {
        FMaximum = std::max(high, FMinimum);
    }
}

void TChartAxis::SetPixelRange(double start, double end) {
    FStartPixel = start;
    FEndPixel = end;
}

double TChartAxis::NextStep(double step) const {
    if (FDateTime) {
        for (double seconds : kTimeSteps)
            if (seconds * kSecond > step * (1 + 1e-9))
                return seconds * kSecond;
    }
    return NextRoundStep(step);
}

std::vector<double> TChartAxis::LabelValues(double step) const {
    std::vector<double> values;
    // A millionth of a step of slack: a step read from a form resource carries 15 decimals
    // only, and multiplied by the day count of a full date it would push an end label out.
    const double first = std::ceil(FMinimum / step - 1e-6);
    const double last = std::floor(FMaximum / step + 1e-6);
    // Whole multiples, so that a label at zero is exactly zero and no error piles up.
    for (double k = first; k <= last; ++k)
        values.push_back(k * step);
    return values;
}

TAxisTicks TChartAxis::PlaceTicks(int length, const QFontMetrics& metrics) const {
    TAxisTicks ticks;
    const double span = FMaximum - FMinimum;
    if (length <= 0)
        return ticks;
    if (!(span > 0) || !std::isfinite(span)) {
        if (std::isfinite(FMinimum))
            ticks.Labels.push_back({FMinimum, LabelText(FMinimum, 0)});
        return ticks;
    }

    // Labels need at least a couple of pixels each before their texts are worth measuring.
    const double densest = span / (length / 2.0);
    double step = Increment > 0 && std::isfinite(Increment) ? Increment : 0;
    if (step == 0) {
        const double labelSize = FHorizontal
                                     ? metrics.horizontalAdvance(QStringLiteral("00:00")) * 2.0
                                     : metrics.height() * 2.0;
        step = NextStep(span * labelSize / length * (1 - 1e-9));
    }
    if (step < densest)
        step = NextStep(densest * (1 - 1e-9));
    const double separation = std::max(0, LabelsSeparation) / 100.0;
    std::vector<double> values;
    std::vector<QString> texts;
    for (int guard = 0; guard < 200; ++guard) {
        values = LabelValues(step);
        texts.clear();
        int extent = 0;
        for (double v : values) {
            texts.push_back(LabelText(v, step));
            extent = std::max(extent, FHorizontal ? metrics.horizontalAdvance(texts.back())
                                                  : metrics.height());
        }
        const double spacing = step / span * length;
        const double needed = std::max(extent * (1 + separation), extent + 3.0);
        if (values.size() <= 1 || spacing >= needed)
            break;
        const double wider = NextStep(step);
        // A step wider than the range may leave no label at all: keep the first one then.
        if (LabelValues(wider).empty()) {
            values.resize(1);
            texts.resize(1);
            break;
        }
        step = wider;
    }
    ticks.Step = step;
    for (std::size_t i = 0; i < values.size(); ++i)
        ticks.Labels.push_back({values[i], texts[i]});

    if (MinorTickCount > 0 && step / span * length / (MinorTickCount + 1) >= 2) {
        const double minor = step / (MinorTickCount + 1);
        const double tolerance = span * 1e-9;
        const double first = std::floor(FMinimum / step);
        const double last = std::ceil(FMaximum / step);
        for (double k = first; k <= last; ++k) {
            for (int j = 1; j <= MinorTickCount; ++j) {
                const double v = k * step + j * minor;
                if (v >= FMinimum - tolerance && v <= FMaximum + tolerance)
                    ticks.MinorTicks.push_back(v);
            }
        }
    }
    return ticks;
}

QString FormatAxisValue(const QString& format, double value) {
    int required = 0;
    int optional = 0;
    const qsizetype point = format.indexOf(u'.');
    if (point >= 0) {
        for (qsizetype i = point + 1; i < format.size(); ++i) {
            if (format[i] == u'0' && optional == 0)
                ++required;
            else if (format[i] == u'#' || format[i] == u'0')
                ++optional;
            else
                break;
        }
    } else if (format.trimmed().isEmpty()) {
        optional = 3;
    }
    const int decimals = std::min(required + optional, 15);
    QString text = FormatFixed(value, decimals);
    if (decimals > required) {
        const qsizetype separator = text.lastIndexOf(FormatSettings().DecimalSeparator);
        if (separator >= 0) {
            while (text.size() - 1 - separator > required && text.endsWith(u'0'))
                text.chop(1);
            if (text.size() - 1 == separator)
                text.chop(1);
        }
    }
    // A value that rounds to zero is shown as zero, without a sign.
    if (text.startsWith(u'-') && AllZeroDigits(text))
        text.remove(0, 1);
    return text;
}
