#include "Tidelogform.h"

#include "SnrLogFile.h"
#include "SnrSample.h"
#include "Utils.h"
#include "dprocess.h"

#include <cstdint>

namespace {

const QString ToolName = QStringLiteral("beamgauge");

// Marks one of the window's message boxes as open for as long as it lives.
class TBoxOpen {
public:
    explicit TBoxOpen(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TBoxOpen() { FFlag = false; }
    TBoxOpen(const TBoxOpen&) = delete;
    TBoxOpen& operator=(const TBoxOpen&) = delete;

private:
    bool& FFlag;
};

} // namespace

TSNRlogger::TSNRlogger(QWidget* parent) : TForm(parent) {
    setupUi(this);
    // The handlers the form resource names, bound before the after-load steps as the loader
    // would: binding OnTimer arms the repeat timer with its designed 1000 ms.
    OnCreate = [this](TComponent* sender) { FormCreate(sender); };
    OnShow = [this](TComponent* sender) { FormShow(sender); };
    OnDestroy = [this](TComponent* sender) { FormDestroy(sender); };
    DateTimePickerStart->OnChange = [this](TComponent* sender) { DateTimePickerChange(sender); };
    DateTimePickerStop->OnChange = [this](TComponent* sender) { DateTimePickerChange(sender); };
    TimerRepeat->SetOnTimer([this](TComponent* sender) { TimerRepeatTimer(sender); });
    ui::FinishLoading(this);
}

TSNRlogger::~TSNRlogger() = default;

void TSNRlogger::FormCreate(TComponent*) {
    Start = std::make_unique<TRegistryDateTime>(QStringLiteral("Start"), EncodeTime(10, 50, 0, 0));
    Stop = std::make_unique<TRegistryDateTime>(QStringLiteral("Stop"), EncodeTime(11, 17, 0, 0));
    DateTimePickerStart->SetDateTime(Start->Value);
    DateTimePickerStop->SetDateTime(Stop->Value);
    FormInfo = std::make_unique<TRegistryFormInfo>(this);
}

void TSNRlogger::FormShow(TComponent*) {
    FormInfo->RestorePosition();
}

void TSNRlogger::FormDestroy(TComponent*) {
    FormInfo.reset();
    Start.reset();
    Stop.reset();
}

void TSNRlogger::DateTimePickerChange(TComponent*) {
    Start->Value = DateTimePickerStart->DateTime();
    Stop->Value = DateTimePickerStop->DateTime();
    Start->Save();
    Stop->Save();
}

void TSNRlogger::TimerRepeatTimer(TComponent*) {
    TimerRepeat->SetEnabled(false);
    QString failure;
    try {
        // In whole milliseconds, so an end of the window counts as inside whatever the last bits.
        const std::int64_t t = TimeOfDayMilliseconds(TimeOf(UtcNow()));
        if (t >= TimeOfDayMilliseconds(Start->Value) && t <= TimeOfDayMilliseconds(Stop->Value))
            TakeSample(UtcNow());
    } catch (const Exception& e) {
        failure = e.Message();
    }
    if (FToolMissing)
        return; // sampling is over; the message is shown or waits for the open box
    // An unattended logger must keep sampling after a failed write, so the timer is re-armed
    // before the failure is reported; the report's box lets the timer fire meanwhile.
    TimerRepeat->SetInterval(UpDownInterval->Position() * 1000);
    TimerRepeat->SetEnabled(true);
    if (!failure.isEmpty() && !FBoxOpen && Application) {
        {
            const TBoxOpen open(FBoxOpen);
            Application->ShowException(failure);
        }
        // The tool went missing while the report was open: its message comes now.
        if (FToolMissing)
            CloseForMissingTool();
    }
}

void TSNRlogger::CloseForMissingTool() {
    {
        const TBoxOpen open(FBoxOpen);
        Application->MessageBox(
            QStringLiteral("Beamgauge.exe may be missing from this directory.") + QChar(u'\r') +
            QStringLiteral("Tidelog.exe will now close as it cannot continue."));
    }
    Close();
}

void TSNRlogger::TakeSample(TDateTime SampleTime) {
    QStringList parameters{QStringLiteral("snr")};
    if (CheckBoxDevice->Checked())
        parameters << QStringLiteral("1");
    QByteArray output;
    bool timedOut = false;
    // The answer is not looked at: a tool that printed a number and then failed still counts.
    RunAndCapture(ToolName, parameters, output, TProcessOptions{poNoConsole}, ToolTimeLimitMs,
                  &timedOut);
    if (timedOut)
        return; // a tool that hung is no reason to stop: this sample is dropped

    QString line;
    if (!FirstAnswerLine(output, line)) {
        FToolMissing = true;
        TimerRepeat->SetEnabled(false);
        if (!FBoxOpen)
            CloseForMissingTool();
        return;
    }
    const float snr = SnrOfAnswerLine(line);
    if (snr < 0)
        return;
    LabelReport->SetCaption(SnrReportText(UtcNow(), snr));
    AddSnrLogLine(SampleTime, LabelReport->Caption());
}
