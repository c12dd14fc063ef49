// The plotting window: a chart of each day's SNR dip against the UTC time of day, built from
// the daily log files, with controls below it for the UTC window, the start date of the files
// to load and the amount of smoothing, a results label and a cursor read-out.
//
// Settings under the program's key: "StartUTC" and "StopUTC" (stored at every change of a time
// picker, and by the first file a rebuild loads: the others would store the same values),
// "StartDate" (stored at every change of the date picker), all three again when the window is
// freed, and "Smoothing" (the selector stores it).
//
// The chart is rebuilt from the files 100 ms after the window opens and 100 ms after each change
// of the smoothing or the start date; a change of the UTC window only re-limits the time axis.
#pragma once

#include "ui_Dipviewform.h"

#include "DayLog.h"
#include "DaySeries.h"
#include "Forms.h"
#include "RegistryVariables.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class TFormDipview : public TForm, public Ui::FormDipview {
    Q_OBJECT

public:
    // Loads the form resource; FormCreate (run by ui::CreateForm or TApplication::CreateForm)
    // makes the settings. `logMask` is the program's first argument, empty when there is none.
    explicit TFormDipview(const QString& logMask = QString(), QWidget* parent = nullptr);
    ~TFormDipview() override;

    // The series made with the form, empty; the first rebuild drops it from the chart and frees
    // it (nullptr from then on).
    TLineSeries* Series1 = nullptr;

    TDateTime CurrentDay = 0;               // date of the day series being filled
    TLineSeries* PredictedSeries = nullptr; // day series of the last predicted-time line
    TDateTime PredictedTime = 0;            // its date and time; 0: none
    std::unique_ptr<TRegistryDateTime> StartDate;
    std::unique_ptr<TRegistryDateTime> StartUTC;
    std::unique_ptr<TRegistryDateTime> StopUTC;
    QString LogMask; // path mask of the log files; "snr-log-*.log" from the first rebuild on
    std::vector<TDipRecord> DipRecords;

    void FormCreate(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    void ButtonCloseClick(TComponent* Sender);
    // Stores the UTC window as the pickers show it, then limits the time axis to it. The axis
    // refuses a bound that would cross the other (EChartException) and keeps its range then.
    void StartStopChange(TComponent* Sender);
    void DateTimePickerStartDateChange(TComponent* Sender);
    void ComboBoxSmoothingChange(TComponent* Sender);
    // The chart rebuild.
    void TimerStartupTimer(TComponent* Sender);
    // The cursor read-out: the series and point under the mouse, its time and dip.
    void ChartMouseMove(TComponent* Sender, Qt::KeyboardModifiers Shift, int X, int Y);

    // Loads one log file as day series: one for each run of one date in the file, each with
    // points inside the UTC window smoothed, its baseline removed, its dip recorded and added to
    // the chart, in the order they were started. Never raises: a file that cannot be read adds
    // nothing, a failure later ends the load where it stands.
    void LoadLogFile(const QString& FileName);
    // The same for a file already read (LoadLogFile reads it and calls this).
    void AddDayLog(const TDayLog& log);

private:
    // Marks a rebuild: the UTC window is stored by its first file only (see StartStopChange).
    class TRebuildScope {
    public:
        explicit TRebuildScope(TFormDipview& form);
        ~TRebuildScope();
        TRebuildScope(const TRebuildScope&) = delete;
        TRebuildScope& operator=(const TRebuildScope&) = delete;

    private:
        TFormDipview& FForm;
    };

    int SmoothingPasses() const;
    // Frees every series the chart owns and the form's own empty one; the rebuild calls it once
    // it has emptied the chart's list and the records.
    void FreeDetachedSeries();

    QString FCommandLineMask;
    bool FRebuilding = false;
    std::optional<std::pair<double, double>> FWindowStoredByRebuild;
};
