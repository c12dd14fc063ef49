#include "Series.h"

#include "Chart.h"

#include <QLineF>
#include <QPointF>

#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void IndexError(int index) {
    throw EChartException(QStringLiteral("List index out of bounds (%1)").arg(index));
}

[[noreturn]] void CountError(std::size_t count) {
    throw EChartException(QStringLiteral("Value count does not match (%1)").arg(count));
}

[[noreturn]] void InvalidXError() {
    throw EChartException(QStringLiteral("Invalid X value"));
}

// Distance of p from the segment a-b.
double SegmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return QLineF(p, a + t * ab).length();
}

} // namespace

void TChartValueList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        IndexError(index);
}

double TChartValueList::Value(int index) const {
    CheckIndex(index);
    return FValues[static_cast<std::size_t>(index)];
}

void TChartValueList::SetValue(int index, double value) {
    CheckIndex(index);
    FValues[static_cast<std::size_t>(index)] = value;
    FOwner->ValuesChanged();
}

void TChartValueList::SetValues(std::span<const double> values) {
    if (values.size() != FValues.size())
        CountError(values.size());
    std::copy(values.begin(), values.end(), FValues.begin());
    FOwner->ValuesChanged();
}

TLineSeries::TLineSeries(TComponent* owner) : TComponent(owner) {}

TLineSeries::~TLineSeries() {
    SetParentChart(nullptr);
}

int TLineSeries::AddXY(double x, double y, const QString& label, TColor color) {
    if (!std::isfinite(x))
        InvalidXError();
    std::vector<double>& xs = FXValues.FValues;
    const auto at = std::upper_bound(xs.begin(), xs.end(), x);
    const auto index = at - xs.begin();
    xs.insert(at, x);
    FYValues.FValues.insert(FYValues.FValues.begin() + index, y);
    if (!HasPointStyles() && (!label.isEmpty() || color != clTeeColor))
        MakePointStyles();
    if (HasPointStyles()) {
        FLabels.insert(FLabels.begin() + index, label);
        FColors.insert(FColors.begin() + index, color);
    }
    ValuesChanged();
    return static_cast<int>(index);
}

void TLineSeries::AddXYs(std::span<const double> xs, std::span<const double> ys) {
    if (xs.size() != ys.size())
        CountError(ys.size());
    const auto invalid =
        std::find_if(xs.begin(), xs.end(), [](double x) { return !std::isfinite(x); });
    const std::size_t n = static_cast<std::size_t>(invalid - xs.begin());
    std::vector<double>& x = FXValues.FValues;
    std::vector<double>& y = FYValues.FValues;
    const std::size_t sorted = x.size();
    x.reserve(sorted + n);
    y.reserve(sorted + n);
    x.insert(x.end(), xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(n));
    y.insert(y.end(), ys.begin(), ys.begin() + static_cast<std::ptrdiff_t>(n));
    if (HasPointStyles()) {
        FLabels.resize(x.size());
        FColors.resize(x.size(), clTeeColor);
    }
    RestoreOrder(sorted);
    ValuesChanged();
    if (invalid != xs.end())
        InvalidXError();
}

// Points from `sortedCount` on were appended in the order they were added. Putting each after
// every point of lower or equal X, in turn, is a stable sort of the whole list by X.
void TLineSeries::RestoreOrder(std::size_t sortedCount) {
    std::vector<double>& x = FXValues.FValues;
    const std::size_t from = sortedCount > 0 ? sortedCount - 1 : 0;
    if (std::is_sorted(x.begin() + static_cast<std::ptrdiff_t>(from), x.end()))
        return;
    std::vector<std::size_t> order(x.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
    auto permute = [&](auto& values) {
        std::remove_reference_t<decltype(values)> result;
        result.reserve(values.size());
        for (std::size_t i : order)
            result.push_back(std::move(values[i]));
        values.swap(result);
    };
    permute(x);
    permute(FYValues.FValues);
    if (HasPointStyles()) {
        permute(FLabels);
        permute(FColors);
    }
}

void TLineSeries::MakePointStyles() {
    FPointStyles = true;
    FLabels.assign(FXValues.FValues.size(), QString());
    FColors.assign(FXValues.FValues.size(), clTeeColor);
}

QString TLineSeries::XLabel(int index) const {
    FXValues.CheckIndex(index);
    return HasPointStyles() ? FLabels[static_cast<std::size_t>(index)] : QString();
}

TColor TLineSeries::ValueColor(int index) const {
    FXValues.CheckIndex(index);
    const TColor color = HasPointStyles() ? FColors[static_cast<std::size_t>(index)] : clTeeColor;
    return color == clTeeColor ? FColor : color;
}

void TLineSeries::Clear() {
    FXValues.FValues.clear();
    FYValues.FValues.clear();
    FPointStyles = false;
    FLabels = {};
    FColors = {};
    ValuesChanged();
}

void TLineSeries::SetSeriesColor(TColor color) {
    // Back on the automatic colour inside a chart: the chart picks one again, so the colour
    // read is always the one drawn.
    if (color == clTeeColor && FParentChart)
        color = FParentChart->FreePaletteColor(this);
    if (color == FColor)
        return;
    FColor = color;
    Repaint();
}

void TLineSeries::SetParentChart(TChart* chart) {
    if (chart == FParentChart)
        return;
    if (FParentChart)
        FParentChart->Detach(this);
    if (chart)
        chart->Attach(this);
}

void TLineSeries::ValuesChanged() {
    FExtent.reset();
    Repaint();
}

const TSeriesExtent& TLineSeries::Extent() const {
    if (!FExtent) {
        TSeriesExtent extent;
        const std::vector<double>& xs = FXValues.FValues;
        const std::vector<double>& ys = FYValues.FValues;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            const double x = xs[i];
            const double y = ys[i];
            if (!std::isfinite(x) || !std::isfinite(y))
                continue;
            if (!extent.Any) {
                extent = {true, x, x, y, y};
                continue;
            }
            extent.MinX = std::min(extent.MinX, x);
            extent.MaxX = std::max(extent.MaxX, x);
            extent.MinY = std::min(extent.MinY, y);
            extent.MaxY = std::max(extent.MaxY, y);
        }
        FExtent = extent;
    }
    return *FExtent;
}

void TLineSeries::Repaint() {
    if (FParentChart)
        FParentChart->Invalidate();
}

int TLineSeries::Clicked(int x, int y) const {
    if (!FParentChart || Count() == 0)
        return -1;
    const QRect rect = FParentChart->ChartRect();
    if (!rect.contains(x, y))
        return -1;
    const TChartAxis& horizontal = FParentChart->BottomAxis();
    const TChartAxis& vertical = FParentChart->LeftAxis();
    const QPointF mouse(x, y);

    // Pixel positions of the points; a null point has none.
    std::vector<QPointF> points(static_cast<std::size_t>(Count()));
    std::vector<bool> drawn(points.size(), false);
    for (int i = 0; i < Count(); ++i) {
        const double px = horizontal.CalcPosValue(FXValues.FValues[static_cast<std::size_t>(i)]);
        const double py = vertical.CalcPosValue(FYValues.FValues[static_cast<std::size_t>(i)]);
        if (std::isfinite(px) && std::isfinite(py)) {
            points[static_cast<std::size_t>(i)] = QPointF(px, py);
            drawn[static_cast<std::size_t>(i)] = true;
        }
    }

    int nearest = -1;
    double nearestDistance = ClickTolerance + 0.5;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!drawn[i])
            continue;
        const double distance = QLineF(mouse, points[i]).length();
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = static_cast<int>(i);
        }
    }
    if (nearest >= 0 || !ClickableLine)
        return nearest;

    // The segments as drawn: across null points when IgnoreNulls joins them.
    int previous = -1;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!drawn[i]) {
            if (!IgnoreNulls)
                previous = -1;
            continue;
        }
        if (previous >= 0 && SegmentDistance(mouse, points[static_cast<std::size_t>(previous)],
                                             points[i]) <= ClickTolerance + 0.5)
            return previous;
        previous = static_cast<int>(i);
    }
    return -1;
}
