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

bool IsAscending(std::span<const double> xs) {
    for (std::size_t i = 0; i < xs.size(); ++i)
        if (!std::isfinite(xs[i]) || (i > 0 && xs[i] < xs[i - 1]))
            return false;
    return true;
}

// How far from the mouse a point or a line still counts as under it, and the reach of the
// column searched: a little wider, so that no rounding of a distance can reach past it.
constexpr double HitDistance = TLineSeries::ClickTolerance + 0.5;
constexpr double ColumnReach = HitDistance + 1e-6;

// Whether the segment a-b passes within HitDistance of p.
bool SegmentHit(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return QLineF(p, a + t * ab).length() <= HitDistance;
}

// The point nearest the mouse within HitDistance, of the points offered in index order: of
// equally near ones the first.
struct TNearestPoint {
    int Index = -1;
    double Distance = HitDistance;
    void Offer(std::size_t index, QPointF mouse, QPointF point) {
        const double distance = QLineF(mouse, point).length();
        if (distance < Distance) {
            Distance = distance;
            Index = static_cast<int>(index);
        }
    }
};

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
    if (this == &FOwner->FXValues)
        FOwner->XValueWritten(static_cast<std::size_t>(index));
    FOwner->ValuesChanged();
}

void TChartValueList::SetValues(std::span<const double> values) {
    if (values.size() != FValues.size())
        CountError(values.size());
    std::copy(values.begin(), values.end(), FValues.begin());
    if (this == &FOwner->FXValues)
        FOwner->XValuesWritten();
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
    XValuesWritten();
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
    FXAscending = true;
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

void TLineSeries::XValueWritten(std::size_t index) {
    // One value moved: only its neighbours can have come out of order.
    const std::vector<double>& xs = FXValues.FValues;
    const std::size_t from = index > 0 ? index - 1 : 0;
    const std::size_t to = std::min(index + 2, xs.size());
    FXAscending = FXAscending && IsAscending(std::span(xs).subspan(from, to - from));
}

void TLineSeries::XValuesWritten() {
    FXAscending = IsAscending(FXValues.FValues);
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
    if (!FParentChart->ChartRect().contains(x, y))
        return -1;
    const QPointF mouse(x, y);
    TColumnBand band;
    if (FXAscending && !NarrowToColumn(mouse, band))
        return -1;
    return ClickedInBand(mouse, band);
}

// Points in ascending X lie at ascending pixel columns (the axis' mapping is monotone, also in
// floating point), so only those within ColumnReach of the mouse's column can be within
// HitDistance of it, and only the lines that start left of that band's right edge and end
// right of its left edge can pass it.
bool TLineSeries::NarrowToColumn(const QPointF& mouse, TColumnBand& band) const {
    const TChartAxis& horizontal = FParentChart->BottomAxis();
    const TChartAxis& vertical = FParentChart->LeftAxis();
    const std::vector<double>& xs = FXValues.FValues;
    const std::size_t count = xs.size();
    auto column = [&](std::size_t i) { return horizontal.CalcPosValue(xs[i]); };

    // A mapping that runs the other way or overflows (a chart too small to plot in, ranges far
    // beyond the values) keeps the whole series; both ends finite and in order mean every
    // column between them is too.
    const double first = column(0);
    const double last = column(count - 1);
    if (!std::isfinite(first) || !std::isfinite(last) || first > last)
        return true;
    const double left = mouse.x() - ColumnReach;
    const double right = mouse.x() + ColumnReach;
    if (right < first || left > last)
        return false;
    // Every drawn point lies inside the extent's rows (a null point too, where a flat axis
    // puts every value in its middle row).
    const TSeriesExtent& extent = Extent();
    if (extent.Any) {
        const double top = vertical.CalcPosValue(extent.MaxY);
        const double bottom = vertical.CalcPosValue(extent.MinY);
        if (mouse.y() < std::min(top, bottom) - ColumnReach ||
            mouse.y() > std::max(top, bottom) + ColumnReach)
            return false;
    }

    // The first point at or right of the band's left edge. Every point left of `low` lies left
    // of the edge and none from `high` on does. A day is sampled evenly, so the guess from the
    // ends' columns lands next to it, and a gallop from there brackets it with a few reads
    // wherever it lies.
    std::size_t low = 0;
    std::size_t high = count;
    if (first < last) {
        const double fraction = std::clamp((left - first) / (last - first), 0.0, 1.0);
        const auto guess = static_cast<std::size_t>(fraction * static_cast<double>(count - 1));
        std::size_t step = 1;
        if (column(guess) < left) {
            low = guess + 1;
            while (low + step - 1 < count && column(low + step - 1) < left) {
                low += step;
                step *= 2;
            }
            high = std::min(low + step - 1, count);
        } else {
            high = guess;
            while (high >= step && column(high - step) >= left) {
                high -= step;
                step *= 2;
            }
            low = high >= step ? high - step + 1 : 0;
        }
    }
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (column(middle) < left)
            low = middle + 1;
        else
            high = middle;
    }
    band = {low, right};
    return true;
}

// Pixel positions are worked out point by point, whatever the band, so every distance
// compared is the same number as over the whole series. Points and lines whose rows lie beyond
// the reach are passed over without measuring.
int TLineSeries::ClickedInBand(const QPointF& mouse, const TColumnBand& band) const {
    const TChartAxis& horizontal = FParentChart->BottomAxis();
    const TChartAxis& vertical = FParentChart->LeftAxis();
    const std::vector<double>& xs = FXValues.FValues;
    const std::vector<double>& ys = FYValues.FValues;
    const std::size_t count = xs.size();
    auto position = [&](std::size_t i) {
        return QPointF(horizontal.CalcPosValue(xs[i]), vertical.CalcPosValue(ys[i]));
    };
    auto drawn = [](QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); };
    auto inReach = [&](double top, double bottom) {
        return std::min(top, bottom) - ColumnReach <= mouse.y() &&
               mouse.y() <= std::max(top, bottom) + ColumnReach;
    };

    TNearestPoint nearest;
    for (std::size_t i = band.First; i < count; ++i) {
        const QPointF point = position(i);
        if (point.x() > band.Right)
            break;
        if (drawn(point) && inReach(point.y(), point.y()))
            nearest.Offer(i, mouse, point);
    }
    if (nearest.Index >= 0 || !ClickableLine)
        return nearest.Index;

    // The segments as drawn: across null points when IgnoreNulls joins them. The one that
    // enters the band starts at the last drawn point before it, unless a null point breaks the
    // line in between.
    int previous = -1;
    QPointF previousPoint;
    for (std::size_t i = band.First; i-- > 0;) {
        if (drawn(position(i))) {
            previous = static_cast<int>(i);
            previousPoint = position(i);
            break;
        }
        if (!IgnoreNulls)
            break;
    }
    for (std::size_t i = band.First; i < count; ++i) {
        const QPointF point = position(i);
        if ((previous >= 0 ? previousPoint.x() : point.x()) > band.Right)
            break;
        if (!drawn(point)) {
            if (!IgnoreNulls)
                previous = -1;
            continue;
        }
        if (previous >= 0 && inReach(previousPoint.y(), point.y()) &&
            SegmentHit(mouse, previousPoint, point))
            return previous;
        previous = static_cast<int>(i);
        previousPoint = point;
    }
    return -1;
}
