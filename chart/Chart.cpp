#include "Chart.h"

#include "Series.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>

#include <algorithm>

TChart::TChart(QWidget* parent)
    : QWidget(parent), TWidgetComponent(this, parent),
      FBottomAxis(std::make_unique<TChartAxis>(this, true)),
      FLeftAxis(std::make_unique<TChartAxis>(this, false)),
      FLayout(std::make_unique<TChartLayout>()) {
    setCursor(Qt::CrossCursor);
    // Moves without a button pressed are what the cursor read-out follows.
    setMouseTracking(true);
}

TChart::~TChart() {
    // Series outlive the chart's list: owned ones are freed by the component base after this
    // body, others by their owners; none may find a dangling parent chart.
    ClearSeriesList();
}

TLineSeries* TChart::Series(int index) const {
    if (index < 0 || index >= SeriesCount())
        throw EChartException(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FSeriesList[static_cast<std::size_t>(index)];
}

void TChart::AddSeries(TLineSeries* series) {
    series->SetParentChart(this);
}

void TChart::RemoveSeries(TLineSeries* series) {
    if (series->ParentChart() == this)
        series->SetParentChart(nullptr);
}

void TChart::ClearSeriesList() {
    for (TLineSeries* series : FSeriesList)
        series->FParentChart = nullptr;
    FSeriesList.clear();
    Invalidate();
}

void TChart::Attach(TLineSeries* series) {
    FSeriesList.push_back(series);
    series->FParentChart = this;
    if (series->FColor == clTeeColor)
        series->FColor = FreePaletteColor(series);
    Invalidate();
}

void TChart::Detach(TLineSeries* series) {
    FSeriesList.erase(std::remove(FSeriesList.begin(), FSeriesList.end(), series),
                      FSeriesList.end());
    series->FParentChart = nullptr;
    Invalidate();
}

TColor TChart::FreePaletteColor(const TLineSeries* series) const {
    for (int i = 0; i < PaletteSize(); ++i) {
        const TColor candidate = PaletteColor(i);
        const bool used =
            std::any_of(FSeriesList.begin(), FSeriesList.end(), [&](const TLineSeries* other) {
                return other != series && other->FColor == candidate;
            });
        if (!used)
            return candidate;
    }
    const auto place = std::find(FSeriesList.begin(), FSeriesList.end(), series);
    return PaletteColor(static_cast<int>(place - FSeriesList.begin()));
}

void TChart::RepaintNow() {
    Relayout();
    if (isVisible()) {
        FLaidOutForPaint = true;
        repaint();
        FLaidOutForPaint = false;
    }
}

void TChart::Relayout() {
    FLayoutValid = false;
    Layout();
}

void TChart::Invalidate() {
    FLayoutValid = false;
    update();
}

QRect TChart::ChartRect() const {
    return Layout().ChartRect;
}

const TChartLayout& TChart::Layout() const {
    if (!FLayoutValid || FLayout->Size != size()) {
        *FLayout = LayoutChart(*this, *FBottomAxis, *FLeftAxis);
        FLayoutValid = true;
    }
    return *FLayout;
}

void TChart::paintEvent(QPaintEvent*) {
    // Every paint works the ranges out afresh: plain fields may have changed without notice.
    // RepaintNow has just done so for the paint it asks for.
    if (!FLaidOutForPaint)
        FLayoutValid = false;
    const TChartLayout& layout = Layout();
    QPainter painter(this);
    PaintChart(painter, *this, layout);
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (OnMouseMove)
        ui::CallHandler([&] { OnMouseMove(this, modifiers, at.x(), at.y()); });
    QWidget::mouseMoveEvent(event);
}

void TChart::resizeEvent(QResizeEvent* event) {
    FLayoutValid = false;
    QWidget::resizeEvent(event);
}

void TChart::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        FLayoutValid = false;
    QWidget::changeEvent(event);
}

void TChart::SetTitleText(const QStringList& lines) {
    Title = lines;
    Invalidate();
}

void TChart::SetBackColorName(const QString& name) {
    SetColorByName(BackColor, name);
    Invalidate();
}

void TChart::SetColorByName(TColor& field, const QString& name) {
    if (!TryStringToColor(name, field))
        qWarning("TChart: '%s' is not a colour; the colour is left as it was",
                 qUtf8Printable(name));
}

// A bound from the form resource moves the other one out of its way. Nothing is thrown
// from here: the form loader calls these through Qt's property system.
void TChart::SetDesignMinimum(TChartAxis& axis, double value) {
    try {
        if (value > axis.Maximum())
            axis.SetMaximum(value);
        axis.SetMinimum(value);
    } catch (const EChartException& e) {
        qWarning("TChart: %s", qUtf8Printable(e.Message()));
    }
}

void TChart::SetDesignMaximum(TChartAxis& axis, double value) {
    try {
        if (value < axis.Minimum())
            axis.SetMinimum(value);
        axis.SetMaximum(value);
    } catch (const EChartException& e) {
        qWarning("TChart: %s", qUtf8Printable(e.Message()));
    }
}
