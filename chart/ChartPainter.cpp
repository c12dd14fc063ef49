#include "ChartPainter.h"

#include "Chart.h"
#include "Series.h"

#include <QFontMetrics>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

namespace {

constexpr int kGap = 4;
constexpr int kLegendPadding = 4;
// Pixel positions are kept within this distance, so the rasteriser never meets huge numbers
// from values far outside the axis range (they lie outside the clip anyway).
constexpr double kFar = 1e6;
constexpr int kAutomaticInset = 4;
constexpr TColor kFrameColor = 0x404040;
constexpr TColor kLegendFrameColor = clGray;
// Fewer points than this are painted on the GUI thread at once; layers would cost more.
constexpr std::size_t kPointsWorthLayers = 200000;

QStringList TitleLines(const TChart& chart) {
    QStringList lines;
    for (const QString& line : chart.Title)
        if (!line.isEmpty())
            lines.append(line);
    return lines;
}

QString LegendText(const TLineSeries* series) {
    return series->Title.isEmpty() ? series->Name() : series->Title;
}

// An end the axis works out from the data sits a few pixels inside the frame, so the highest
// and lowest points do not vanish into it; a fixed end is on the frame.
int AutomaticInset(const TChartAxis& axis, bool minimumEnd) {
    const bool automatic =
        axis.Automatic || (minimumEnd ? axis.AutomaticMinimum : axis.AutomaticMaximum);
    return automatic ? kAutomaticInset : 0;
}

double Pixel(const TChartAxis& axis, double value) {
    return std::clamp(axis.CalcPosValue(value), -kFar, kFar);
}

void PaintGrid(QPainter& painter, const TChartAxis& axis, const TAxisTicks& ticks,
               const QRect& rect) {
    auto line = [&](double value) {
        const double at = std::round(axis.CalcPosValue(value));
        if (axis.Horizontal())
            painter.drawLine(QLineF(at, rect.top(), at, rect.bottom()));
        else
            painter.drawLine(QLineF(rect.left(), at, rect.right(), at));
    };
    if (axis.MinorGridVisible) {
        painter.setPen(ToQPen(TChartPen{}, axis.MinorGridColor));
        for (double value : ticks.MinorTicks)
            line(value);
    }
    if (axis.GridVisible) {
        TChartPen pen;
        pen.Style = axis.GridStyle;
        painter.setPen(ToQPen(pen, axis.GridColor));
        for (const TAxisLabel& label : ticks.Labels)
            line(label.Value);
    }
}

void PaintOneSeries(QPainter& painter, const TChart& chart, const TLineSeries& series,
                    int columns) {
    const TChartAxis& bottom = chart.BottomAxis();
    const TChartAxis& left = chart.LeftAxis();
    const std::span<const double> xs = series.XValues().Values();
    const std::span<const double> ys = series.YValues().Values();
    std::vector<QPolygonF> runs(1);
    std::vector<std::size_t> indexes;
    const bool pointsDrawn = series.PointerVisible || series.MarksVisible;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
            if (!series.IgnoreNulls && !runs.back().isEmpty())
                runs.emplace_back();
            continue;
        }
        runs.back().append(QPointF(Pixel(bottom, xs[i]), Pixel(left, ys[i])));
        if (pointsDrawn)
            indexes.push_back(i);
    }
    painter.setPen(ToQPen(series.LinePen(), series.SeriesColor()));
    painter.setBrush(Qt::NoBrush);
    for (const QPolygonF& run : runs)
        DrawSeriesLine(painter, run, columns);
    if (!pointsDrawn)
        return;

    std::vector<QPointF> points;
    for (const QPolygonF& run : runs)
        points.insert(points.end(), run.begin(), run.end());
    if (series.PointerVisible) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const QColor color = ToQColor(series.ValueColor(static_cast<int>(indexes[i])));
            painter.setPen(color.darker(150));
            painter.setBrush(color);
            painter.drawRect(QRectF(points[i] - QPointF(2.5, 2.5), QSizeF(5, 5)));
        }
        painter.setBrush(Qt::NoBrush);
    }
    if (series.MarksVisible) {
        const QFontMetrics metrics(chart.font());
        painter.setPen(chart.palette().windowText().color());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const QString text = FormatAxisValue(left.AxisValuesFormat, ys[indexes[i]]);
            const QPointF at = points[i];
            painter.drawText(
                QRectF(at.x() - 100, at.y() - 4 - metrics.height(), 200, metrics.height()),
                Qt::AlignHCenter | Qt::AlignBottom, text);
        }
    }
}

// Lines only: the painting of points and marks, which write text, stays on the GUI thread.
bool PaintableInLayers(const TChart& chart, std::size_t& points) {
    points = 0;
    for (int i = 0; i < chart.SeriesCount(); ++i) {
        const TLineSeries* series = chart.Series(i);
        if (series->PointerVisible || series->MarksVisible)
            return false;
        points += static_cast<std::size_t>(series->Count());
    }
    return true;
}

// The series' lines, in list order, each over the ones before it. Many points are painted on
// the worker threads of Qt's pool: consecutive series into one transparent layer each, which
// are then laid over the plot in order. Lines are blended the same way either way; only the
// rounding of the blend at a pixel that lines of two layers share can differ, by a few levels.
void PaintAllSeries(QPainter& painter, const TChart& chart, const QRect& rect) {
    const int columns = rect.width();
    std::size_t points = 0;
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    if (threads < 2 || chart.SeriesCount() < 2 || !PaintableInLayers(chart, points) ||
        points < kPointsWorthLayers) {
        for (int i = 0; i < chart.SeriesCount(); ++i)
            PaintOneSeries(painter, chart, *chart.Series(i), columns);
        return;
    }

    // Consecutive series of about equal numbers of points.
    struct TLayer {
        int First = 0;
        int End = 0;
        QImage Image;
    };
    std::vector<TLayer> layers;
    const std::size_t share = points / static_cast<std::size_t>(threads) + 1;
    std::size_t taken = 0;
    for (int i = 0; i < chart.SeriesCount(); ++i) {
        if (layers.empty() || taken >= share) {
            layers.push_back({i, i, {}});
            taken = 0;
        }
        taken += static_cast<std::size_t>(chart.Series(i)->Count());
        layers.back().End = i + 1;
    }
    const qreal ratio = painter.device()->devicePixelRatioF();
    QtConcurrent::blockingMap(layers, [&](TLayer& layer) {
        layer.Image = QImage(rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        layer.Image.setDevicePixelRatio(ratio);
        layer.Image.fill(Qt::transparent);
        QPainter layerPainter(&layer.Image);
        layerPainter.setRenderHint(QPainter::Antialiasing, true);
        layerPainter.translate(-rect.topLeft());
        layerPainter.setClipRect(rect);
        for (int i = layer.First; i < layer.End; ++i)
            PaintOneSeries(layerPainter, chart, *chart.Series(i), columns);
    });
    for (const TLayer& layer : layers)
        painter.drawImage(rect.topLeft(), layer.Image);
}

void PaintAxes(QPainter& painter, const TChart& chart, const TChartLayout& layout) {
    const QRect rect = layout.ChartRect;
    const QFontMetrics metrics(chart.font());
    const int textHeight = metrics.height();
    const TChartAxis& bottom = chart.BottomAxis();
    const TChartAxis& left = chart.LeftAxis();
    painter.setPen(chart.palette().windowText().color());
    painter.setFont(chart.font());

    for (double value : layout.Bottom.MinorTicks) {
        const double x = std::round(bottom.CalcPosValue(value));
        painter.drawLine(QLineF(x, rect.bottom() + 1, x, rect.bottom() + kMinorTickLength));
    }
    for (const TAxisLabel& label : layout.Bottom.Labels) {
        const double x = std::round(bottom.CalcPosValue(label.Value));
        painter.drawLine(QLineF(x, rect.bottom() + 1, x, rect.bottom() + kMajorTickLength));
        painter.drawText(QRectF(x - 200, rect.bottom() + kMajorTickLength + 3, 400, textHeight),
                         Qt::AlignHCenter | Qt::AlignTop, label.Text);
    }
    for (double value : layout.Left.MinorTicks) {
        const double y = std::round(left.CalcPosValue(value));
        painter.drawLine(QLineF(rect.left() - kMinorTickLength, y, rect.left() - 1, y));
    }
    for (const TAxisLabel& label : layout.Left.Labels) {
        const double y = std::round(left.CalcPosValue(label.Value));
        painter.drawLine(QLineF(rect.left() - kMajorTickLength, y, rect.left() - 1, y));
        const double right = rect.left() - kMajorTickLength - 3;
        painter.drawText(QRectF(right - 400, y - textHeight / 2.0, 400, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, label.Text);
    }

    if (!bottom.Title.isEmpty())
        painter.drawText(layout.BottomTitleRect, Qt::AlignCenter, bottom.Title);
    if (!left.Title.isEmpty()) {
        const QRect box = layout.LeftTitleRect;
        painter.save();
        painter.translate(box.center());
        painter.rotate(-90);
        painter.drawText(QRect(-box.height() / 2, -box.width() / 2, box.height(), box.width()),
                         Qt::AlignCenter, left.Title);
        painter.restore();
    }
}

void PaintLegend(QPainter& painter, const TChart& chart, const TChartLayout& layout) {
    const QRect box = layout.LegendRect;
    if (box.isEmpty())
        return;
    painter.setPen(ToQColor(kLegendFrameColor));
    painter.setBrush(Qt::white);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setBrush(Qt::NoBrush);
    painter.setFont(chart.font());

    const int symbolLeft = box.left() + kLegendPadding;
    const int textLeft = symbolLeft + layout.LegendSlot + (layout.LegendSlot > 0 ? kGap + 2 : 0);
    const int sampleLength = std::clamp(chart.LegendColorWidth, 0, layout.LegendSlot);
    for (int i = 0; i < layout.LegendEntries && i < chart.SeriesCount(); ++i) {
        const TLineSeries* series = chart.Series(i);
        const int top = box.top() + kLegendPadding + i * layout.LegendRowHeight;
        const int middle = top + layout.LegendRowHeight / 2;
        if (sampleLength > 0) {
            // The sample is drawn a little heavier than the line, so its colour and its dots
            // can be told apart.
            TChartPen pen = series->LinePen();
            pen.Width = std::max(2, pen.Width);
            const QPen sample = ToQPen(pen, series->SeriesColor());
            if (sample.style() == Qt::NoPen) {
                painter.fillRect(QRect(symbolLeft, middle - 2, sampleLength, 5),
                                 ToQColor(series->SeriesColor()));
            } else {
                painter.setPen(sample);
                painter.drawLine(
                    QLineF(symbolLeft, middle + 0.5, symbolLeft + sampleLength, middle + 0.5));
            }
        }
        painter.setPen(chart.palette().windowText().color());
        const QRect textBox(textLeft, top, box.right() - kLegendPadding - textLeft + 1,
                            layout.LegendRowHeight);
        const QString text =
            painter.fontMetrics().elidedText(LegendText(series), Qt::ElideRight, textBox.width());
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

} // namespace

QPolygonF ColumnReduction(const QPolygonF& run) {
    QPolygonF reduced;
    const qsizetype n = run.size();
    qsizetype i = 0;
    while (i < n) {
        // The run of points in the pixel column of point i, and its lowest and highest.
        const double column = std::floor(run[i].x());
        qsizetype end = i + 1;
        qsizetype low = i;
        qsizetype high = i;
        for (; end < n && std::floor(run[end].x()) == column; ++end) {
            if (run[end].y() > run[low].y())
                low = end;
            if (run[end].y() < run[high].y())
                high = end;
        }
        // In the order the line passes them; one point when they are the same.
        reduced.append(run[std::min(low, high)]);
        if (low != high)
            reduced.append(run[std::max(low, high)]);
        i = end;
    }
    return reduced;
}

void DrawSeriesLine(QPainter& painter, const QPolygonF& run, int columns) {
    if (run.size() < 2)
        return;
    if (run.size() > columns)
        painter.drawPolyline(ColumnReduction(run));
    else
        painter.drawPolyline(run);
}

QFont ChartTitleFont(const QFont& font) {
    QFont title(font);
    title.setBold(true);
    if (title.pointSizeF() > 0)
        title.setPointSizeF(title.pointSizeF() + 1);
    else if (title.pixelSize() > 0)
        title.setPixelSize(title.pixelSize() + 1);
    return title;
}

TChartLayout LayoutChart(const TChart& chart, TChartAxis& bottom, TChartAxis& left) {
    TChartLayout layout;
    layout.Size = chart.size();
    bottom.AdjustRange();
    left.AdjustRange();

    const QFontMetrics metrics(chart.font());
    const QFontMetrics titleMetrics(ChartTitleFont(chart.font()));
    const int textHeight = metrics.height();
    const int width = layout.Size.width();
    const int height = layout.Size.height();
    auto margin = [](int percent, int extent) { return std::clamp(percent, 0, 25) * extent / 100; };
    QRect area(QPoint(margin(chart.MarginLeft, width), margin(chart.MarginTop, height)),
               QPoint(width - 1 - margin(chart.MarginRight, width),
                      height - 1 - margin(chart.MarginBottom, height)));

    const QStringList lines = TitleLines(chart);
    if (!lines.isEmpty()) {
        layout.TitleRect = QRect(area.left(), area.top(), area.width(),
                                 static_cast<int>(lines.size()) * titleMetrics.height());
        area.setTop(layout.TitleRect.bottom() + 1 + kGap);
    }
    // The top label of the left axis is centred on the top edge: half of it lies above.
    area.setTop(area.top() + textHeight / 2);

    if (chart.LegendVisible && chart.SeriesCount() > 0) {
        const int slot =
            std::clamp(std::max(chart.LegendColorWidth, chart.LegendSymbolWidth), 0, 200);
        int textWidth = 0;
        for (int i = 0; i < chart.SeriesCount(); ++i)
            textWidth = std::max(textWidth, metrics.horizontalAdvance(LegendText(chart.Series(i))));
        const int rowHeight = textHeight + 2;
        const int boxWidth =
            std::min(2 * kLegendPadding + slot + (slot > 0 ? kGap + 2 : 0) + textWidth + 2,
                     area.width() / 2);
        const int entries = std::min(chart.SeriesCount(),
                                     std::max(0, (area.height() - 2 * kLegendPadding) / rowHeight));
        if (entries > 0 && boxWidth > 0) {
            layout.LegendRect = QRect(area.right() - boxWidth + 1, area.top(), boxWidth,
                                      2 * kLegendPadding + entries * rowHeight);
            layout.LegendEntries = entries;
            layout.LegendRowHeight = rowHeight;
            layout.LegendSlot = slot;
            area.setRight(layout.LegendRect.left() - 2 * kGap);
        }
    }

    QRect rect = area;
    int below = kMajorTickLength + 3 + textHeight;
    if (!bottom.Title.isEmpty())
        below += kGap + textHeight;
    rect.setBottom(area.bottom() - below);

    const int lowInset = AutomaticInset(left, true);
    const int highInset = AutomaticInset(left, false);
    left.SetPixelRange(rect.bottom() - lowInset, rect.top() + highInset);
    layout.Left = left.PlaceTicks(rect.height() - 1 - lowInset - highInset, metrics);
    int labelWidth = 0;
    for (const TAxisLabel& label : layout.Left.Labels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label.Text));
    int beside = kMajorTickLength + 3 + labelWidth;
    if (!left.Title.isEmpty())
        beside += kGap + textHeight;
    rect.setLeft(area.left() + beside);

    // The last bottom label is centred on the right edge: pull the edge in until it fits.
    for (int pass = 0; pass < 3; ++pass) {
        const int startInset = AutomaticInset(bottom, true);
        const int endInset = AutomaticInset(bottom, false);
        bottom.SetPixelRange(rect.left() + startInset, rect.right() - endInset);
        layout.Bottom = bottom.PlaceTicks(rect.width() - 1 - startInset - endInset, metrics);
        int overhang = 0;
        for (const TAxisLabel& label : layout.Bottom.Labels) {
            const double x = bottom.CalcPosValue(label.Value);
            const double end = x + metrics.horizontalAdvance(label.Text) / 2.0;
            overhang = std::max(overhang, static_cast<int>(std::ceil(end)) - area.right());
        }
        if (overhang <= 0)
            break;
        rect.setRight(rect.right() - overhang);
    }

    if (rect.width() < 2 || rect.height() < 2) {
        layout.Bottom = TAxisTicks{};
        layout.Left = TAxisTicks{};
        return layout;
    }
    layout.ChartRect = rect;
    layout.LeftTitleRect = QRect(area.left(), rect.top(), textHeight, rect.height());
    layout.BottomTitleRect =
        QRect(rect.left(), rect.bottom() + kMajorTickLength + 3 + textHeight + kGap, rect.width(),
              textHeight);
    return layout;
}

void PaintChart(QPainter& painter, const TChart& chart, const TChartLayout& layout) {
    painter.fillRect(QRect(QPoint(0, 0), layout.Size), chart.palette().window());
    const QRect rect = layout.ChartRect;

    const QStringList lines = TitleLines(chart);
    if (!lines.isEmpty()) {
        const QFont titleFont = ChartTitleFont(chart.font());
        const QFontMetrics titleMetrics(titleFont);
        const int centre = rect.isEmpty() ? layout.Size.width() / 2 : rect.center().x();
        const int width = layout.Size.width();
        painter.setFont(titleFont);
        painter.setPen(chart.palette().windowText().color());
        int top = layout.TitleRect.top();
        for (const QString& line : lines) {
            // Centred over the plotting area, but kept inside the chart: shifted when it would
            // cross an edge, cut short with an ellipsis when it is wider than the chart.
            const QString text = titleMetrics.elidedText(line, Qt::ElideRight, width);
            const int textWidth = std::min(titleMetrics.horizontalAdvance(text), width);
            const int left = std::clamp(centre - textWidth / 2, 0, width - textWidth);
            painter.drawText(QRect(left, top, textWidth, titleMetrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            top += titleMetrics.height();
        }
    }

    if (!rect.isEmpty()) {
        if (chart.BackColor != clTeeColor)
            painter.fillRect(rect, ToQColor(chart.BackColor));
        painter.save();
        painter.setClipRect(rect);
        PaintGrid(painter, chart.BottomAxis(), layout.Bottom, rect);
        PaintGrid(painter, chart.LeftAxis(), layout.Left, rect);
        painter.setRenderHint(QPainter::Antialiasing, true);
        PaintAllSeries(painter, chart, rect);
        painter.restore();

        painter.setPen(ToQColor(kFrameColor));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        PaintAxes(painter, chart, layout);
    }
    PaintLegend(painter, chart, layout);
}
