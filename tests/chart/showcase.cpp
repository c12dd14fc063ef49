// Shows the chart test form with three day-like dip curves and a predicted-time marker, for a
// look at the chart (and a screenshot). With an argument, saves a picture of the form to that
// PNG file after it has been shown, and ends; a width and height after the file name resize
// the chart first.
#include "ui_ChartTestForm.h"

#include "Chart.h"
#include "Forms.h"
#include "Series.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cmath>

namespace {

constexpr double kMinute = 1.0 / 1440;

class TShowcaseForm : public TForm, public Ui::ChartTestForm {
public:
    TShowcaseForm() {
        setupUi(this);
        ui::FinishLoading(this);
        OnCreate = [this](TComponent*) { Fill(); };
    }

private:
    // A day: a flat level with a little noise, dipping `depth` dB around `centre` (time of day),
    // sampled every 5 s from 10:45 to 11:15, with the baseline taken off as the plotter does.
    TLineSeries* Day(const QString& title, double depth, double centre, int seed) {
        auto* series = new TLineSeries(Chart);
        series->XValues().DateTime = true;
        series->Title = title;
        for (int s = 0; s <= 30 * 60; s += 5) {
            const double x = 10.75 / 24 + s / 86400.0;
            const double dip = depth * std::exp(-std::pow((x - centre) / (2.2 * kMinute), 2));
            const double noise = 0.06 * std::sin(s * 0.37 + seed) * std::cos(s * 0.11 + 2 * seed);
            series->AddXY(x, dip + noise, QString(), clTeeColor);
        }
        return series;
    }

    void Fill() {
        // As the plotting window limits the time axis to its UTC window (times of day).
        Chart->BottomAxis().SetMinimum(10.75 / 24);
        Chart->BottomAxis().SetMaximum(11.25 / 24);
        TLineSeries* first = Day(QStringLiteral("04-Oct"), -2.1, 10.95 / 24, 1);
        TLineSeries* deepest = Day(QStringLiteral("05-Oct"), -4.4, 10.97 / 24, 2);
        TLineSeries* after = Day(QStringLiteral("06-Oct"), -3.0, 10.99 / 24, 3);
        for (TLineSeries* series : {first, deepest, after})
            series->SetParentChart(Chart);
        first->SetSeriesColor(0x800000);   // navy: the day before the deepest
        deepest->SetSeriesColor(0x000000); // black: the deepest
        after->SetSeriesColor(0x642020);   // the day after, subdued and dotted
        after->LinePen().Style = psDot;

        Chart->RepaintNow();
        auto* marker = new TLineSeries(Chart);
        marker->Title = QStringLiteral("Predicted");
        marker->SetSeriesColor(deepest->SeriesColor());
        marker->LinePen().SmallDots = true;
        const double m = Chart->LeftAxis().Minimum();
        const double predicted = 10.98 / 24;
        marker->AddXY(predicted, m - 0.1);
        marker->AddXY(predicted, m + 0.1);
        marker->SetParentChart(Chart);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    TApplication application;
    Application->Initialize();
    Application->MainFormOnTaskbar = true;
    Application->SetTitle(QStringLiteral("Chart showcase"));
    TShowcaseForm* form = Application->CreateForm<TShowcaseForm>();
    if (argc > 3) {
        const QSize size(QString::fromLocal8Bit(argv[2]).toInt(),
                         QString::fromLocal8Bit(argv[3]).toInt());
        form->resize(size);
        form->Chart->resize(size);
    }
    if (argc > 1) {
        const QString file = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(500, form, [form, file] {
            form->grab().save(file);
            form->Close();
        });
    }
    Application->Run();
    return 0;
}
