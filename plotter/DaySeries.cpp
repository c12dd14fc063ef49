#include "DaySeries.h"

#include <vector>

namespace {
constexpr double OneMinute = 1.0 / 1440.0;
} // namespace

void SmoothSeries(TLineSeries& series) {
    TChartValueList& y = series.YValues();
    const std::span<const double> values = y.Values();
    const std::size_t n = values.size();
    if (n < 3)
        return;
    // Every new value comes from the values before the pass, which stay in the series until
    // the pass is written back.
    std::vector<double> smoothed(values.begin(), values.end());
    for (std::size_t i = 1; i < n - 1; ++i) {
        const long double sum = 0.25L * values[i - 1] + 0.5L * values[i] + 0.25L * values[i + 1];
        smoothed[i] = static_cast<double>(sum);
    }
    y.SetValues(smoothed);
}

void RemoveBaseline(TLineSeries& series, double& dip, double& dipTime) {
    const std::span<const double> x = series.XValues().Values();
    const std::span<const double> y = series.YValues().Values();
    const std::size_t n = y.size();
    if (n == 0)
        throw EChartException(QStringLiteral("List index out of bounds (0)"));
    const double first = x[0];
    const double last = x[n - 1];
    double sum = 0;
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += y[i];
        ++count;
        if (x[i] > first + OneMinute)
            break;
    }
    for (std::size_t j = n; j-- > 0;) {
        sum += y[j];
        ++count;
        if (x[j] < last - OneMinute)
            break;
    }
    const double mean = sum / count;
    dip = 123456.0;
    dipTime = x[0];
    std::vector<double> corrected(n);
    for (std::size_t i = 0; i < n; ++i) {
        corrected[i] = y[i] - mean;
        if (corrected[i] < dip) {
            dip = corrected[i];
            dipTime = x[i];
        }
    }
    series.YValues().SetValues(corrected);
}

void DayStyle(int d, bool& setColor, TColor& color, bool& dotted) {
    setColor = true;
    if (d <= -11 || d >= 100)
        setColor = false;
    else if (d <= -4)
        color = 0x800080; // purple
    else if (d == -3)
        color = 0x008000; // green
    else if (d == -2)
        color = 0x000080; // maroon
    else if (d == -1)
        color = 0x800000; // navy
    else if (d == 0)
        color = 0x000000; // the deepest day: black
    else if (d == 1)
        color = 0x642020; // subdued blue
    else if (d == 2)
        color = 0x202064; // subdued red
    else if (d == 3)
        color = 0x206420; // subdued green
    else
        color = 0x642064; // subdued purple, up to 99
    dotted = d >= 1 && d <= 100;
}
