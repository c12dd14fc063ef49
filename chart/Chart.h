// The chart: a widget that paints a title, a white plotting area framed by a bottom and a left
// axis with their labels, grids and titles, one line per series, and a legend on the right.
//
// Design-time set-up (Q_PROPERTYs, written in a form resource as dynamic properties):
//   TitleText (string list: the title lines), View3D, BackColor (colour name: "clWhite",
//   "clSilver", "$00BBGGRR", see TryStringToColor), MarginTop, MarginBottom, MarginLeft,
//   MarginRight, LegendVisible, LegendColorWidth, LegendSymbolWidth, and for each axis, with the
//   prefix BottomAxis or LeftAxis: ...Automatic, ...AutomaticMinimum, ...AutomaticMaximum,
//   ...Minimum, ...Maximum, ...Increment, ...MinorTickCount, ...LabelsSeparation, ...Title,
//   ...ValuesFormat, ...GridVisible, ...GridStyle ("psSolid", "psDot", ...), ...GridColor,
//   ...MinorGridVisible, ...MinorGridColor. A design-time Minimum above the Maximum, or the
//   other way round, takes the other bound with it, so the two may come in either order.
//   An unknown colour name is ignored with a warning.
//
// Ownership: series made with the chart as owner are freed with it; the series list only
// refers to series. When the chart goes, every series still in its list is detached first.
//
// Geometry: "chart pixels" are the widget's own coordinates. The layout (the automatic ranges
// and where everything goes) is worked out by every paint, and on demand by ChartRect, the
// clicked-point lookup and RepaintNow when something changed since.
// Including this header gives the whole component: the chart, its axes and the line series.
#pragma once

#include "ChartAxis.h"
#include "ChartColors.h"
#include "ChartPainter.h"
#include "Controls.h"
#include "Series.h"

#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class TLineSeries;

class TChart : public QWidget, public TWidgetComponent {
    Q_OBJECT
    Q_PROPERTY(QStringList TitleText READ TitleText WRITE SetTitleText)
    Q_PROPERTY(bool View3D MEMBER View3D)
    Q_PROPERTY(QString BackColor READ BackColorName WRITE SetBackColorName)
    Q_PROPERTY(int MarginTop MEMBER MarginTop)
    Q_PROPERTY(int MarginBottom MEMBER MarginBottom)
    Q_PROPERTY(int MarginLeft MEMBER MarginLeft)
    Q_PROPERTY(int MarginRight MEMBER MarginRight)
    Q_PROPERTY(bool LegendVisible MEMBER LegendVisible)
    Q_PROPERTY(int LegendColorWidth MEMBER LegendColorWidth)
    Q_PROPERTY(int LegendSymbolWidth MEMBER LegendSymbolWidth)

    Q_PROPERTY(bool BottomAxisAutomatic READ BottomAutomatic WRITE SetBottomAutomatic)
    Q_PROPERTY(
        bool BottomAxisAutomaticMinimum READ BottomAutomaticMinimum WRITE SetBottomAutomaticMinimum)
    Q_PROPERTY(
        bool BottomAxisAutomaticMaximum READ BottomAutomaticMaximum WRITE SetBottomAutomaticMaximum)
    Q_PROPERTY(double BottomAxisMinimum READ BottomMinimum WRITE SetBottomMinimum)
    Q_PROPERTY(double BottomAxisMaximum READ BottomMaximum WRITE SetBottomMaximum)
    Q_PROPERTY(double BottomAxisIncrement READ BottomIncrement WRITE SetBottomIncrement)
    Q_PROPERTY(int BottomAxisMinorTickCount READ BottomMinorTickCount WRITE SetBottomMinorTickCount)
    Q_PROPERTY(
        int BottomAxisLabelsSeparation READ BottomLabelsSeparation WRITE SetBottomLabelsSeparation)
    Q_PROPERTY(QString BottomAxisTitle READ BottomTitle WRITE SetBottomTitle)
    Q_PROPERTY(QString BottomAxisValuesFormat READ BottomValuesFormat WRITE SetBottomValuesFormat)
    Q_PROPERTY(bool BottomAxisGridVisible READ BottomGridVisible WRITE SetBottomGridVisible)
    Q_PROPERTY(chart::TPenStyle BottomAxisGridStyle READ BottomGridStyle WRITE SetBottomGridStyle)
    Q_PROPERTY(QString BottomAxisGridColor READ BottomGridColor WRITE SetBottomGridColor)
    Q_PROPERTY(
        bool BottomAxisMinorGridVisible READ BottomMinorGridVisible WRITE SetBottomMinorGridVisible)
    Q_PROPERTY(
        QString BottomAxisMinorGridColor READ BottomMinorGridColor WRITE SetBottomMinorGridColor)

    Q_PROPERTY(bool LeftAxisAutomatic READ LeftAutomatic WRITE SetLeftAutomatic)
    Q_PROPERTY(
        bool LeftAxisAutomaticMinimum READ LeftAutomaticMinimum WRITE SetLeftAutomaticMinimum)
    Q_PROPERTY(
        bool LeftAxisAutomaticMaximum READ LeftAutomaticMaximum WRITE SetLeftAutomaticMaximum)
    Q_PROPERTY(double LeftAxisMinimum READ LeftMinimum WRITE SetLeftMinimum)
    Q_PROPERTY(double LeftAxisMaximum READ LeftMaximum WRITE SetLeftMaximum)
    Q_PROPERTY(double LeftAxisIncrement READ LeftIncrement WRITE SetLeftIncrement)
    Q_PROPERTY(int LeftAxisMinorTickCount READ LeftMinorTickCount WRITE SetLeftMinorTickCount)
    Q_PROPERTY(int LeftAxisLabelsSeparation READ LeftLabelsSeparation WRITE SetLeftLabelsSeparation)
    Q_PROPERTY(QString LeftAxisTitle READ LeftTitle WRITE SetLeftTitle)
    Q_PROPERTY(QString LeftAxisValuesFormat READ LeftValuesFormat WRITE SetLeftValuesFormat)
    Q_PROPERTY(bool LeftAxisGridVisible READ LeftGridVisible WRITE SetLeftGridVisible)
    Q_PROPERTY(chart::TPenStyle LeftAxisGridStyle READ LeftGridStyle WRITE SetLeftGridStyle)
    Q_PROPERTY(QString LeftAxisGridColor READ LeftGridColor WRITE SetLeftGridColor)
    Q_PROPERTY(
        bool LeftAxisMinorGridVisible READ LeftMinorGridVisible WRITE SetLeftMinorGridVisible)
    Q_PROPERTY(QString LeftAxisMinorGridColor READ LeftMinorGridColor WRITE SetLeftMinorGridColor)

public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    // Title lines, centred above the plotting area; empty lines are left out.
    QStringList Title;
    // Accepted for the form's set-up; the chart is drawn flat either way.
    bool View3D = false;
    // The plotting area's colour (clTeeColor: none, the panel shows through). The panel
    // around it has the window's face colour.
    TColor BackColor = clWhite;
    // Legend at the right, one entry per series in series-list order: a sample of the series'
    // line, LegendColorWidth pixels long, in a slot LegendSymbolWidth pixels wide (the wider of
    // the two), then the series' Title. Entries that do not fit the height are left out.
    bool LegendVisible = true;
    int LegendColorWidth = 24;
    int LegendSymbolWidth = 24;
    // Space left free at each edge, in percent of the chart's height (top, bottom) or width
    // (left, right).
    int MarginTop = 4;
    int MarginBottom = 4;
    int MarginLeft = 3;
    int MarginRight = 3;

    TChartAxis& BottomAxis() { return *FBottomAxis; }
    const TChartAxis& BottomAxis() const { return *FBottomAxis; }
    TChartAxis& LeftAxis() { return *FLeftAxis; }
    const TChartAxis& LeftAxis() const { return *FLeftAxis; }

    // The series list, in the order the series were added. Series() raises EChartException
    // "List index out of bounds (<index>)" for an index outside it.
    int SeriesCount() const { return static_cast<int>(FSeriesList.size()); }
    TLineSeries* Series(int index) const;
    // Adds a series (its ParentChart becomes this chart) or removes it (ParentChart nullptr).
    void AddSeries(TLineSeries* series);
    void RemoveSeries(TLineSeries* series);
    // Detaches every series from the chart; frees none.
    void ClearSeriesList();

    // Paints at once: any pending paint is done, and the automatic ranges are worked out,
    // before it returns (also when the chart is not on screen).
    void RepaintNow();
    // Works the layout out now, as a paint would, without painting: the automatic ranges, the
    // plotting rectangle and the axes' pixel positions follow the series as they are.
    void Relayout();
    // Asks for a paint after changes of plain fields (Title, axis Increment, ...).
    void Invalidate();

    // The plotting rectangle inside the axes, in chart pixels (edges included: the frame).
    QRect ChartRect() const;

    // Every mouse move over the chart, with the buttons up or down: the sender (the chart), the
    // modifier keys and the position in chart pixels. Runs inside ui::CallHandler.
    std::function<void(TComponent* Sender, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;

    // The layout in force: worked out now when something changed since the last one.
    const TChartLayout& Layout() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TLineSeries;
    void Attach(TLineSeries* series);
    void Detach(TLineSeries* series);
    TColor FreePaletteColor(const TLineSeries* series) const;

    QStringList TitleText() const { return Title; }
    void SetTitleText(const QStringList& lines);
    QString BackColorName() const { return ColorToString(BackColor); }
    void SetBackColorName(const QString& name);

    // Design-time access to the axes' fields.
    static void SetColorByName(TColor& field, const QString& name);
    static void SetDesignMinimum(TChartAxis& axis, double value);
    static void SetDesignMaximum(TChartAxis& axis, double value);
    TChartAxis& B() { return *FBottomAxis; }
    const TChartAxis& B() const { return *FBottomAxis; }
    TChartAxis& L() { return *FLeftAxis; }
    const TChartAxis& L() const { return *FLeftAxis; }
    // clang-format off
    bool BottomAutomatic() const { return B().Automatic; }
    void SetBottomAutomatic(bool v) { B().Automatic = v; Invalidate(); }
    bool BottomAutomaticMinimum() const { return B().AutomaticMinimum; }
    void SetBottomAutomaticMinimum(bool v) { B().AutomaticMinimum = v; Invalidate(); }
    bool BottomAutomaticMaximum() const { return B().AutomaticMaximum; }
    void SetBottomAutomaticMaximum(bool v) { B().AutomaticMaximum = v; Invalidate(); }
    double BottomMinimum() const { return B().Minimum(); }
    void SetBottomMinimum(double v) { SetDesignMinimum(B(), v); }
    double BottomMaximum() const { return B().Maximum(); }
    void SetBottomMaximum(double v) { SetDesignMaximum(B(), v); }
    double BottomIncrement() const { return B().Increment; }
    void SetBottomIncrement(double v) { B().Increment = v; Invalidate(); }
    int BottomMinorTickCount() const { return B().MinorTickCount; }
    void SetBottomMinorTickCount(int v) { B().MinorTickCount = v; Invalidate(); }
    int BottomLabelsSeparation() const { return B().LabelsSeparation; }
    void SetBottomLabelsSeparation(int v) { B().LabelsSeparation = v; Invalidate(); }
    QString BottomTitle() const { return B().Title; }
    void SetBottomTitle(const QString& v) { B().Title = v; Invalidate(); }
    QString BottomValuesFormat() const { return B().AxisValuesFormat; }
    void SetBottomValuesFormat(const QString& v) { B().AxisValuesFormat = v; Invalidate(); }
    bool BottomGridVisible() const { return B().GridVisible; }
    void SetBottomGridVisible(bool v) { B().GridVisible = v; Invalidate(); }
    chart::TPenStyle BottomGridStyle() const { return B().GridStyle; }
    void SetBottomGridStyle(chart::TPenStyle v) { B().GridStyle = v; Invalidate(); }
    QString BottomGridColor() const { return ColorToString(B().GridColor); }
    void SetBottomGridColor(const QString& v) { SetColorByName(B().GridColor, v); Invalidate(); }
    bool BottomMinorGridVisible() const { return B().MinorGridVisible; }
    void SetBottomMinorGridVisible(bool v) { B().MinorGridVisible = v; Invalidate(); }
    QString BottomMinorGridColor() const { return ColorToString(B().MinorGridColor); }
    void SetBottomMinorGridColor(const QString& v) { SetColorByName(B().MinorGridColor, v); Invalidate(); }

    bool LeftAutomatic() const { return L().Automatic; }
    void SetLeftAutomatic(bool v) { L().Automatic = v; Invalidate(); }
    bool LeftAutomaticMinimum() const { return L().AutomaticMinimum; }
    void SetLeftAutomaticMinimum(bool v) { L().AutomaticMinimum = v; Invalidate(); }
    bool LeftAutomaticMaximum() const { return L().AutomaticMaximum; }
    void SetLeftAutomaticMaximum(bool v) { L().AutomaticMaximum = v; Invalidate(); }
    double LeftMinimum() const { return L().Minimum(); }
    void SetLeftMinimum(double v) { SetDesignMinimum(L(), v); }
    double LeftMaximum() const { return L().Maximum(); }
    void SetLeftMaximum(double v) { SetDesignMaximum(L(), v); }
    double LeftIncrement() const { return L().Increment; }
    void SetLeftIncrement(double v) { L().Increment = v; Invalidate(); }
    int LeftMinorTickCount() const { return L().MinorTickCount; }
    void SetLeftMinorTickCount(int v) { L().MinorTickCount = v; Invalidate(); }
    int LeftLabelsSeparation() const { return L().LabelsSeparation; }
    void SetLeftLabelsSeparation(int v) { L().LabelsSeparation = v; Invalidate(); }
    QString LeftTitle() const { return L().Title; }
    void SetLeftTitle(const QString& v) { L().Title = v; Invalidate(); }
    QString LeftValuesFormat() const { return L().AxisValuesFormat; }
    void SetLeftValuesFormat(const QString& v) { L().AxisValuesFormat = v; Invalidate(); }
    bool LeftGridVisible() const { return L().GridVisible; }
    void SetLeftGridVisible(bool v) { L().GridVisible = v; Invalidate(); }
    chart::TPenStyle LeftGridStyle() const { return L().GridStyle; }
    void SetLeftGridStyle(chart::TPenStyle v) { L().GridStyle = v; Invalidate(); }
    QString LeftGridColor() const { return ColorToString(L().GridColor); }
    void SetLeftGridColor(const QString& v) { SetColorByName(L().GridColor, v); Invalidate(); }
    bool LeftMinorGridVisible() const { return L().MinorGridVisible; }
    void SetLeftMinorGridVisible(bool v) { L().MinorGridVisible = v; Invalidate(); }
    QString LeftMinorGridColor() const { return ColorToString(L().MinorGridColor); }
    void SetLeftMinorGridColor(const QString& v) { SetColorByName(L().MinorGridColor, v); Invalidate(); }
    // clang-format on

    std::unique_ptr<TChartAxis> FBottomAxis;
    std::unique_ptr<TChartAxis> FLeftAxis;
    std::vector<TLineSeries*> FSeriesList;
    // The layout cache: refreshed by paints and on demand (see Layout()).
    mutable std::unique_ptr<TChartLayout> FLayout;
    mutable bool FLayoutValid = false;
    // Set by RepaintNow for the paint it asks for, which then need not lay out again.
    bool FLaidOutForPaint = false;
};
