#include "Dipviewform.h"

#include "LogFiles.h"
#include "StringList.h"
#include "findfile.h"
#include "formats.h"
#include "textread.h"

#include <QDir>
#include <QFileInfo>

#include <cstdint>

namespace {

const QString DefaultLogMask = QStringLiteral("snr-log-*.log");
constexpr double PredictedValue = -99;

} // namespace

TFormDipview::TFormDipview(const QString& logMask, QWidget* parent)
    : TForm(parent), FCommandLineMask(logMask) {
    setupUi(this);
    // The series the form resource holds: empty, drawn as a red line.
    Series1 = new TLineSeries(this);
    Series1->SetName(QStringLiteral("Series1"));
    Series1->SetSeriesColor(clRed);
    Series1->XValues().DateTime = true;
    Series1->PointerVisible = false;
    Series1->MarksVisible = false;
    Series1->IgnoreNulls = true;
    Series1->SetParentChart(Chart);

    // The handlers the form resource names, bound before the after-load steps as the loader
    // would; binding OnTimer arms the start-up timer.
    OnCreate = [this](TComponent* sender) { FormCreate(sender); };
    OnDestroy = [this](TComponent* sender) { FormDestroy(sender); };
    ButtonClose->OnClick = [this](TComponent* sender) { ButtonCloseClick(sender); };
    DateTimePickerUTCstart->OnChange = [this](TComponent* sender) { StartStopChange(sender); };
    DateTimePickerUTCstop->OnChange = [this](TComponent* sender) { StartStopChange(sender); };
    DateTimePickerStartDate->OnChange = [this](TComponent* sender) {
        DateTimePickerStartDateChange(sender);
    };
    ComboBoxSmoothing->OnChange = [this](TComponent* sender) { ComboBoxSmoothingChange(sender); };
    Chart->OnMouseMove = [this](TComponent* sender, Qt::KeyboardModifiers shift, int x, int y) {
        ChartMouseMove(sender, shift, x, y);
    };
    TimerStartup->SetOnTimer([this](TComponent* sender) { TimerStartupTimer(sender); });
    ui::FinishLoading(this);
}

TFormDipview::~TFormDipview() = default;

void TFormDipview::FormCreate(TComponent*) {
    StartUTC = std::make_unique<TRegistryDateTime>(QStringLiteral("StartUTC"), 0.4479166666666667);
    StopUTC = std::make_unique<TRegistryDateTime>(QStringLiteral("StopUTC"), 0.46875);
    DateTimePickerUTCstart->SetTime(StartUTC->Value);
    DateTimePickerUTCstop->SetTime(StopUTC->Value);
    LabelUTCstart->setVisible(true);
    LabelUTCstop->setVisible(true);
    DateTimePickerUTCstart->setVisible(true);
    DateTimePickerUTCstop->setVisible(true);
    StartDate = std::make_unique<TRegistryDateTime>(QStringLiteral("StartDate"), 43013);
    DateTimePickerStartDate->SetDate(StartDate->Value);
    CurrentDay = 0;
    LogMask = FCommandLineMask;
    const QString dataFrom = QStringLiteral("  Data from: ");
    if (!LogMask.isEmpty()) {
        SetCaption(Caption() + dataFrom + LogMask);
    } else {
        // The name of the current folder: the text after its path's last separator.
        const QString folder = QDir::currentPath();
        const qsizetype cut = std::max(folder.lastIndexOf(u'/'), folder.lastIndexOf(u'\\'));
        if (cut >= 0)
            SetCaption(Caption() + dataFrom + folder.mid(cut + 1, 999));
    }
}

void TFormDipview::FormDestroy(TComponent*) {
    StartUTC.reset();
    StopUTC.reset();
    StartDate.reset();
}

void TFormDipview::ButtonCloseClick(TComponent*) {
    Close();
}

void TFormDipview::StartStopChange(TComponent*) {
    StartUTC->Value = DateTimePickerUTCstart->Time();
    StartUTC->Save();
    StopUTC->Value = DateTimePickerUTCstop->Time();
    StopUTC->Save();
    Chart->BottomAxis().SetMinimum(StartUTC->Value);
    Chart->BottomAxis().SetMaximum(StopUTC->Value);
}

void TFormDipview::DateTimePickerStartDateChange(TComponent*) {
    StartDate->Value = DateOf(DateTimePickerStartDate->DateTime());
    StartDate->Save();
    TimerStartup->SetEnabled(true);
}

void TFormDipview::ComboBoxSmoothingChange(TComponent*) {
    TimerStartup->SetEnabled(true);
}

void TFormDipview::LoadLogFile(const QString& FileName) {
    if (!QFileInfo(FileName).isFile())
        return;
    try {
        const QStringList lines = LoadTextFileLines(FileName);
        TLineSeries* currentSeries = nullptr;
        for (const QString& line : lines) {
            double date = 0, time = 0, value = 0;
            if (!ParseLogLine(line, date, time, value))
                continue;
            if (!currentSeries || date != CurrentDay) {
                currentSeries = new TLineSeries(Chart);
                currentSeries->XValues().DateTime = true;
                CurrentDay = date;
                currentSeries->Title = FormatDateTime(QStringLiteral("dd-mmm"), date);
            }
            const std::int64_t t = TimeOfDayMilliseconds(time);
            if (t < TimeOfDayMilliseconds(StartUTC->Value) ||
                t > TimeOfDayMilliseconds(StopUTC->Value))
                continue;
            if (value > 0)
                currentSeries->AddXY(time, value, QString(), clTeeColor);
            if (value == PredictedValue) {
                PredictedTime = date + time;
                PredictedSeries = currentSeries;
            }
        }
        if (!currentSeries || currentSeries->Count() == 0)
            return;
        int passes = 0;
        switch (ComboBoxSmoothing->ItemIndex()) {
        case 1:
            passes = 2;
            break;
        case 2:
            passes = 4;
            break;
        default:
            break;
        }
        for (int pass = 0; pass < passes; ++pass)
            SmoothSeries(*currentSeries);
        double dip = 0, dipTime = 0;
        RemoveBaseline(*currentSeries, dip, dipTime);
        DipRecords.push_back({currentSeries, dip, CurrentDay + dipTime});
        currentSeries->SetParentChart(Chart);
        StartStopChange(this);
    } catch (const Exception&) {
        // A file that cannot be read, or an axis that refuses the window, ends this load; what
        // was done so far stays.
    } catch (const std::bad_alloc&) {
    }
}

void TFormDipview::TimerStartupTimer(TComponent*) {
    TimerStartup->SetEnabled(false);
    TStringList files;
    files.SetSorted(true);
    files.Duplicates = dupIgnore;
    if (LogMask.isEmpty())
        LogMask = DefaultLogMask;
    ListFiles(LogMask, files);

    Chart->ClearSeriesList();
    DipRecords.clear();
    PredictedTime = 0;
    PredictedSeries = nullptr;
    CurrentDay = 0;
    for (const QString& path : files) {
        if (FileStampOf(path) > StartDate->Value)
            LoadLogFile(path);
    }
    if (Chart->SeriesCount() == 0)
        return;

    double lowest = 1000.0;
    int k = 0;
    for (int i = 0; i < static_cast<int>(DipRecords.size()); ++i) {
        if (DipRecords[i].Dip < lowest) {
            lowest = DipRecords[i].Dip;
            k = i;
        }
    }
    QString results;
    if (k != Chart->SeriesCount() - 1)
        results =
            FormatDateTime(QStringLiteral("\"Minimum at \"mmm-dd hh:nn:ss"), DipRecords[k].DipTime);
    if (PredictedTime > 0)
        results += QChar(u'\r') +
                   FormatDateTime(QStringLiteral("\"Predicted:  \"mmm-dd hh:nn:ss"), PredictedTime);
    LabelResults->SetCaption(results);

    for (int j = 0; j < Chart->SeriesCount(); ++j) {
        TLineSeries* series = Chart->Series(j);
        bool setColor = false, dotted = false;
        TColor color = 0;
        DayStyle(j - k, setColor, color, dotted);
        if (setColor)
            series->SetSeriesColor(color);
        if (dotted)
            series->LinePen().Style = psDot;
        series->Repaint();
    }

    if (PredictedSeries) {
        Chart->RepaintNow();
        auto* marker = new TLineSeries(Chart);
        marker->Title = QStringLiteral("Predicted");
        marker->SetSeriesColor(PredictedSeries->SeriesColor());
        marker->LinePen().SmallDots = true;
        const double m = Chart->LeftAxis().Minimum();
        const double x = TimeOf(PredictedTime);
        marker->AddXY(x, m - 0.1, QString(), clTeeColor);
        marker->AddXY(x, m + 0.1, QString(), clTeeColor);
        marker->SetParentChart(Chart);
    }
}

void TFormDipview::ChartMouseMove(TComponent* Sender, Qt::KeyboardModifiers, int X, int Y) {
    LabelCursor->SetCaption(QString());
    auto* chart = dynamic_cast<TChart*>(Sender);
    if (!chart || !chart->ChartRect().contains(X, Y))
        return;
    for (int i = chart->SeriesCount() - 1; i >= 0; --i) {
        TLineSeries* series = chart->Series(i);
        const int index = series->Clicked(X, Y);
        if (index == -1)
            continue;
        LabelCursor->SetCaption(
            series->Title + FormatDateTime(QStringLiteral("  hh:nn:ss"), series->XValues()[index]) +
            QStringLiteral("  SNR dip: ") + FormatFixed(series->YValues()[index], 1) +
            QStringLiteral(" dB"));
    }
}
