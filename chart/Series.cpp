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
    FOwner->Repaint();
}

TLineSeries::TLineSeries(TComponent* owner) : TComponent(owner) {}

TLineSeries::~TLineSeries() {
    SetParentChart(nullptr);
}

int TLineSeries::AddXY(double x, double y, const QString& label, TColor color) {
    if (!std::isfinite(x))
        throw EChartException(QStringLiteral("Invalid X value"));
    std::vector<double>& xs = FXValues.FValues;
    const auto at = std::upper_bound(xs.begin(), xs.end(), x);
    const auto index = at - xs.begin();
    xs.insert(at, x);
    FYValues.FValues.insert(FYValues.FValues.begin() + index, y);
    FLabels.insert(FLabels.begin() + index, label);
    FColors.insert(FColors.begin() + index, color);
    Repaint();
    return static_cast<int>(index);
}

QString TLineSeries::XLabel(int index) const {
    FXValues.CheckIndex(index);
    return FLabels[static_cast<std::size_t>(index)];
}

TColor TLineSeries::ValueColor(int index) const {
    FXValues.CheckIndex(index);
    const TColor color = FColors[static_cast<std::size_t>(index)];
    return color == clTeeColor ? FColor : color;
}

void TLineSeries::Clear() {
    FXValues.FValues.clear();
    FYValues.FValues.clear();
    FLabels.clear();
    FColors.clear();
    Repaint();
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
