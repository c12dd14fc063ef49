#include "Dipviewform.h"

#include "DayLog.h"
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
    StopUTC->Value = DateTimePickerUTCstop->Time();
    // Within a rebuild no event runs, so the pickers cannot have changed since the last file
    // stored them: the store already holds these values and need not be rewritten.
    const std::pair window(StartUTC->Value, StopUTC->Value);
    if (FWindowStoredByRebuild != window) {
        StartUTC->Save();
        StopUTC->Save();
        if (FRebuilding)
            FWindowStoredByRebuild = window;
    }
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
    TDayLogBuffers buffers;
    AddDayLog(ReadDayLog(FileName, TLogLineParser(), buffers));
}

void TFormDipview::AddDayLog(const TDayLog& log) {
    if (!log.Loaded)
        return;
    try {
        // One series for each run of one date, started in file order. Only points inside the
        // UTC window are added; the window is the settings' as they stand for this file.
        const std::int64_t start = TimeOfDayMilliseconds(StartUTC->Value);
        const std::int64_t stop = TimeOfDayMilliseconds(StopUTC->Value);
        std::vector<TLineSeries*> started;
        std::vector<double> times, values;
        for (const TLogDateRun& run : log.Runs) {
            auto* series = new TLineSeries(Chart);
            series->XValues().DateTime = true;
            CurrentDay = run.Date;
            series->Title = FormatDateTime(QStringLiteral("dd-mmm"), run.Date);
            started.push_back(series);
            times.clear();
            values.clear();
            for (std::size_t i = run.First; i < run.First + run.Count; ++i) {
                const TLogSample& sample = log.Samples[i];
                const std::int64_t t = TimeOfDayMilliseconds(sample.Time);
                if (t < start || t > stop)
                    continue;
                if (sample.Value > 0) {
                    times.push_back(sample.Time);
                    values.push_back(sample.Value);
                }
                if (sample.Value == PredictedValue) {
                    PredictedTime = run.Date + sample.Time;
                    PredictedSeries = series;
                }
            }
            series->AddXYs(times, values);
        }

        // Every day of the file that has points is finished, in the order they were started: a
        // file whose last line carries the next date (a sample whose tool run ended after
        // midnight) keeps its own day.
        bool added = false;
        for (std::size_t i = 0; i < started.size(); ++i) {
            TLineSeries* series = started[i];
            if (series->Count() == 0)
                continue;
            for (int pass = 0; pass < SmoothingPasses(); ++pass)
                SmoothSeries(*series);
            double dip = 0, dipTime = 0;
            RemoveBaseline(*series, dip, dipTime);
            DipRecords.push_back({series, dip, log.Runs[i].Date + dipTime});
            series->SetParentChart(Chart);
            added = true;
        }
        if (added)
            StartStopChange(this);
    } catch (const Exception&) {
        // An axis that refuses the window ends this load; what was done so far stays.
    } catch (const std::bad_alloc&) {
    }
}

TFormDipview::TRebuildScope::TRebuildScope(TFormDipview& form) : FForm(form) {
    FForm.FRebuilding = true;
    FForm.FWindowStoredByRebuild.reset();
}

TFormDipview::TRebuildScope::~TRebuildScope() {
    FForm.FRebuilding = false;
    FForm.FWindowStoredByRebuild.reset();
}

void TFormDipview::FreeDetachedSeries() {
    // Nothing refers to the series of the last rebuild any more: the chart's list, the records
    // and the predicted series have just been emptied. Kept, they would add a whole data set to
    // the memory at every rebuild.
    for (int i = Chart->ComponentCount() - 1; i >= 0; --i) {
        if (auto* series = dynamic_cast<TLineSeries*>(Chart->Components(i)))
            delete series;
    }
    delete Series1;
    Series1 = nullptr;
}

int TFormDipview::SmoothingPasses() const {
    switch (ComboBoxSmoothing->ItemIndex()) {
    case 1:
        return 2;
    case 2:
        return 4;
    default:
        return 0;
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
    FreeDetachedSeries();
    QStringList toLoad;
    for (const QString& path : files) {
        if (FileStampOf(path) > StartDate->Value)
            toLoad.append(path);
    }
    {
        // The files are read ahead on worker threads; their series are built here, one file
        // after the other in the list's order, as if each were read when its turn came.
        const TRebuildScope scope(*this);
        TDayLogReader reader(toLoad, TLogLineParser());
        while (!reader.AtEnd())
            AddDayLog(reader.Next());
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
        // The automatic range over the day curves, for the marker's place; the chart paints
        // once, with the marker.
        Chart->Relayout();
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
    // Each hit overrides the one before, so the series added earliest names the point. The text
    // is made and shown once, for that hit: the label measures itself at every caption, and
    // with years of days a move can pass over a thousand curves.
    TLineSeries* named = nullptr;
    int namedIndex = -1;
    for (int i = chart->SeriesCount() - 1; i >= 0; --i) {
        TLineSeries* series = chart->Series(i);
        const int index = series->Clicked(X, Y);
        if (index == -1)
            continue;
        named = series;
        namedIndex = index;
    }
    if (named)
        LabelCursor->SetCaption(
            named->Title +
            FormatDateTime(QStringLiteral("  hh:nn:ss"), named->XValues()[namedIndex]) +
            QStringLiteral("  SNR dip: ") + FormatFixed(named->YValues()[namedIndex], 1) +
            QStringLiteral(" dB"));
}
