// The logging window: a small fixed window that samples the receiver's SNR inside a daily UTC
// window. A repeat timer fires every "Interval" seconds (the first firing about one second after
// loading); a firing whose UTC time of day lies within Start..Stop (both ends included, no wrap
// past midnight) runs the tool beamgauge once, shows the sample and appends it to the day's log.
//
// Settings under the program's key: "Start" and "Stop" (time-of-day date-times, stored at every
// change of either picker and when the window is freed), "Device" and "Interval" (the check box
// and the up-down store them when they are freed), and the window's geometry (stored when the
// window is freed; only its left and top are applied, on every show).
#pragma once

#include "ui_Tidelogform.h"

#include "Forms.h"
#include "RegistryVariables.h"

#include <memory>

class TSNRlogger : public TForm, public Ui::SNRlogger {
    Q_OBJECT

public:
    // Loads the form resource; the settings are made by FormCreate (ui::CreateForm or
    // TApplication::CreateForm runs it).
    explicit TSNRlogger(QWidget* parent = nullptr);
    ~TSNRlogger() override;

    std::unique_ptr<TRegistryFormInfo> FormInfo;
    std::unique_ptr<TRegistryDateTime> Start;
    std::unique_ptr<TRegistryDateTime> Stop;

    // How long one run of the tool may take (milliseconds) before it is ended and its sample
    // dropped, so a tool that never ends cannot freeze the window.
    int ToolTimeLimitMs = 30000;

    void FormCreate(TComponent* Sender);
    void FormShow(TComponent* Sender);
    void FormDestroy(TComponent* Sender);
    void DateTimePickerChange(TComponent* Sender);
    void TimerRepeatTimer(TComponent* Sender);

    // One sample: runs the tool, takes the first line of its answer as tenths of a dB and, when
    // it is a number of 0 or more, shows the report line and adds it to the log file named by
    // SampleTime. A tool that prints nothing stops the sampling for good, gets the missing-tool
    // message and closes the window; while another of the window's message boxes is open, that
    // waits until the box has been closed. Raises EInOutError when the log file cannot be
    // written.
    void TakeSample(TDateTime SampleTime);

private:
    // The window shows one message box at a time. The timer keeps firing while one is open (an
    // unattended logger keeps logging), so what a firing would report meanwhile is held: a
    // further write error is dropped, a missing tool is reported once the box has been closed.
    bool FBoxOpen = false;
    bool FToolMissing = false; // sampling has stopped; the program closes after the message

    // Shows the missing-tool message, then closes the window.
    void CloseForMissingTool();
};
