// The logging window driven for real: its form resource, its settings, its timer steps, and the
// tool beamgauge (found beside the test binary) told what to answer through its test switches.
#include "Tidelogform.h"

#include "TestDirs.h"
#include "TestFiles.h"
#include "Utils.h"
#include "formats.h"
#include "registry.h"
#include "winbase.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

namespace {

// Milliseconds since 1970 of a UTC date and time.
std::int64_t UnixMs(int y, int m, int d, int h, int n, int s, int ms = 0) {
    const double days = EncodeDate(y, m, d) - EncodeDate(1970, 1, 1);
    return static_cast<std::int64_t>(days) * 86400000 + ((h * 60 + n) * 60 + s) * 1000 + ms;
}

// A clock that answers the given readings in turn, then keeps answering the last.
class ScriptedClock {
public:
    explicit ScriptedClock(std::deque<std::int64_t> readings) : FReadings(std::move(readings)) {
        SetClockSource([this] {
            const std::int64_t now = FReadings.front();
            if (FReadings.size() > 1)
                FReadings.pop_front();
            return now;
        });
    }
    ~ScriptedClock() { SetClockSource({}); }

private:
    std::deque<std::int64_t> FReadings;
};

class LoggingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"BEAMGAUGE_OUTPUT", "BEAMGAUGE_HANG", "BEAMGAUGE_SIMULATE", "BEAMGAUGE_EXIT",
              "BEAMGAUGE_DELAY_MS", "BEAMGAUGE_GARBAGE", "BEAMGAUGE_NO_LOCK"})
            unsetenv(name);
        argsFile = testdirs::Root() + "/args.txt";
        setenv("BEAMGAUGE_ARGS_FILE", QFile::encodeName(argsFile).constData(), 1);
        application = std::make_unique<TApplication>();
        application->SetTitle("Tidelog");
        application->MessageBoxHook = [this](const TMessageBoxRequest& box) {
            boxes.push_back(box);
            mostOpenBoxes = std::max(mostOpenBoxes, ++openBoxes);
            if (insideBox)
                insideBox();
            --openBoxes;
            return IDOK;
        };
        ResetFormatSettings();
        SetFormatSettings(TFormatSettings{});
    }

    void TearDown() override {
        form.reset();
        application.reset();
        ResetFormatSettings();
        unsetenv("BEAMGAUGE_ARGS_FILE");
        unsetenv("BEAMGAUGE_OUTPUT");
        unsetenv("BEAMGAUGE_HANG");
        unsetenv("BEAMGAUGE_NO_LOCK");
    }

    void Open() {
        form = ui::CreateForm<TSNRlogger>();
        form->Start->Value = EncodeTime(10, 50, 0, 0);
        form->Stop->Value = EncodeTime(11, 17, 0, 0);
    }

    // The window as the application's main form, so closing it ends the program, sampling at
    // any time of day, shown.
    TSNRlogger* OpenAsMainForm() {
        application->CreateForm<TSNRlogger>();
        auto* main = static_cast<TSNRlogger*>(application->MainForm());
        main->Start->Value = 0;
        main->Stop->Value = EncodeTime(23, 59, 59, 999);
        main->Show();
        return main;
    }

    // One firing of the repeat timer with the tool answering `answer`.
    void FireWith(const char* answer) {
        setenv("BEAMGAUGE_OUTPUT", answer, 1);
        form->TimerRepeatTimer(form->TimerRepeat);
    }

    QString argsFile;
    std::unique_ptr<TApplication> application;
    TFormPtr<TSNRlogger> form;
    std::vector<TMessageBoxRequest> boxes;
    int openBoxes = 0;     // boxes open at this moment
    int mostOpenBoxes = 0; // the most that were ever open at once
    std::function<void()> insideBox;
};

TEST_F(LoggingWindow, LoadsAsDesignedAndStartsTheTimerAtOneSecond) {
    Open();
    EXPECT_EQ(form->Caption(), "Streamwell SNR logger");
    EXPECT_EQ(form->ClientWidth(), 294);
    EXPECT_EQ(form->ClientHeight(), 90);
    EXPECT_EQ(form->LabelReport->Caption(), "Date/Time/SNR report");
    EXPECT_EQ(form->CheckBoxDevice->toolTip(), "Check for \"1\" in beamgauge.exe command");
    EXPECT_EQ(form->UpDownInterval->Position(), 5);
    EXPECT_EQ(form->LabeledEditInterval->text(), "5");
    EXPECT_DOUBLE_EQ(form->DateTimePickerStart->DateTime(), EncodeTime(10, 50, 0, 0));
    EXPECT_DOUBLE_EQ(form->DateTimePickerStop->DateTime(), EncodeTime(11, 17, 0, 0));
    // The first firing comes after the designed second, whatever "Interval" holds.
    EXPECT_EQ(form->TimerRepeat->Interval(), 1000);
    EXPECT_TRUE(form->TimerRepeat->Counting());
    // Tab order: start, stop, device, interval arrows, interval edit.
    const QList<QWidget*> tabStops = {form->DateTimePickerStart, form->DateTimePickerStop,
                                      form->CheckBoxDevice, form->UpDownInterval,
                                      form->LabeledEditInterval};
    QList<QWidget*> met;
    QWidget* w = form->DateTimePickerStart;
    for (int i = 0; i < 100 && met.size() < tabStops.size(); ++i, w = w->nextInFocusChain()) {
        if (tabStops.contains(w) && !met.contains(w))
            met << w;
    }
    EXPECT_EQ(met, tabStops);
}

TEST_F(LoggingWindow, SamplesInsideTheWindowBothEndsIncluded) {
    Open();
    const std::int64_t day[] = {2018, 10, 4};
    struct Row {
        int h, n, s, ms;
        bool samples;
    } rows[] = {
        {10, 49, 59, 999, false}, {10, 50, 0, 0, true}, {11, 17, 0, 0, true},
        {11, 17, 0, 1, false},    {3, 0, 0, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.h << ":" << row.n << ":" << row.s << "." << row.ms);
        QFile::remove("snr-log-2018-10-04.log");
        ScriptedClock clock({UnixMs(day[0], day[1], day[2], row.h, row.n, row.s, row.ms)});
        FireWith("123");
        EXPECT_EQ(QFile::exists("snr-log-2018-10-04.log"), row.samples);
    }

    // A window whose start lies after its stop never samples, not even at its ends.
    form->Start->Value = EncodeTime(23, 0, 0, 0);
    form->Stop->Value = EncodeTime(1, 0, 0, 0);
    QFile::remove("snr-log-2018-10-04.log");
    for (int hour : {23, 0, 1}) {
        ScriptedClock clock({UnixMs(2018, 10, 4, hour, 0, 0)});
        FireWith("123");
    }
    EXPECT_FALSE(QFile::exists("snr-log-2018-10-04.log"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoggingWindow, TakesTheFirstLineAsTenthsOfADecibel) {
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 10, 55, 0)});
    struct Row {
        const char* answer;
        const char* shown; // nullptr: dropped, the label keeps its text
    } rows[] = {
        {"123", "2018/10/04 10:55:00 12.3"},
        {"  456  \n", "2018/10/04 10:55:00 45.6"},
        {"0\r\n", "2018/10/04 10:55:00 0.0"},
        {"-5", nullptr},
        {"snr", nullptr},
        {"\n789\n", nullptr},
        {"1234\n99\n", "2018/10/04 10:55:00 123.4"},
    };
    QByteArray expectedFile;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        const QString before = form->LabelReport->Caption();
        FireWith(row.answer);
        if (row.shown) {
            EXPECT_EQ(form->LabelReport->Caption(), row.shown);
            expectedFile += QByteArray(row.shown) + "\r\n";
        } else {
            EXPECT_EQ(form->LabelReport->Caption(), before);
        }
        EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"), expectedFile);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoggingWindow, NoAnswerShowsTheMissingToolMessageAndCloses) {
    TSNRlogger* main = OpenAsMainForm();
    setenv("BEAMGAUGE_OUTPUT", "", 1);
    main->TimerRepeatTimer(main->TimerRepeat);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Beamgauge.exe may be missing from this directory.\r"
                             "Tidelog.exe will now close as it cannot continue.");
    EXPECT_EQ(boxes[0].Caption, "Tidelog");
    EXPECT_EQ(boxes[0].Flags, MB_OK);
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(application->Terminated());

    // A tool that is nowhere to be found answers nothing either.
    boxes.clear();
    Open();
    form->Start->Value = 0;
    form->Stop->Value = EncodeTime(23, 59, 59, 999);
    const QByteArray path = qgetenv("PATH");
    SetExecutablePathOverride(testdirs::Root() + "/nowhere/tidelog");
    setenv("PATH", QFile::encodeName(testdirs::Root()).constData(), 1);
    form->TakeSample(UtcNow());
    setenv("PATH", path.constData(), 1);
    SetExecutablePathOverride({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].Text.startsWith("Beamgauge.exe may be missing"));
}

TEST_F(LoggingWindow, AReceiverWithoutLockIsLoggedAsZeroAndSamplingGoesOn) {
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 11, 0, 0)});
    setenv("BEAMGAUGE_NO_LOCK", "1", 1);
    form->TimerRepeatTimer(form->TimerRepeat);
    unsetenv("BEAMGAUGE_NO_LOCK");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form->LabelReport->Caption(), "2018/10/04 11:00:00 0.0");
    EXPECT_TRUE(form->TimerRepeat->Counting());

    FireWith("123"); // lock is back
    EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"),
              "2018/10/04 11:00:00 0.0\r\n2018/10/04 11:00:00 12.3\r\n");
}

TEST_F(LoggingWindow, DeviceBoxAddsTheArgumentOne) {
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 11, 0, 0)});
    FireWith("100");
    form->CheckBoxDevice->SetChecked(true);
    FireWith("100");
    form->CheckBoxDevice->SetChecked(false);
    FireWith("100");
    EXPECT_EQ(testfiles::Contents(argsFile), "snr\nsnr 1\nsnr\n");
}

TEST_F(LoggingWindow, NewIntervalAppliesFromTheEndOfTheNextFiring) {
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 3, 0, 0)}); // outside the window: no tool run
    form->UpDownInterval->ClickArrow(btNext);
    EXPECT_EQ(form->UpDownInterval->Position(), 6);
    EXPECT_EQ(form->TimerRepeat->Interval(), 1000); // the wait under way is left as it is
    form->TimerRepeatTimer(form->TimerRepeat);
    EXPECT_EQ(form->TimerRepeat->Interval(), 6000);
    EXPECT_TRUE(form->TimerRepeat->Enabled());
    EXPECT_TRUE(form->TimerRepeat->Counting());
}

TEST_F(LoggingWindow, LocaleSeparatorsKeepTheLinePositions) {
    TFormatSettings german;
    german.DateSeparator = u'.';
    german.TimeSeparator = u'.';
    german.DecimalSeparator = u',';
    SetFormatSettings(german);
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 10, 55, 7, 999)});
    FireWith("123");
    FireWith("5,5"); // the decimal separator of the user's locale reads as a decimal point
    EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"),
              "2018.10.04 10.55.07 12,3\r\n2018.10.04 10.55.07 0,6\r\n");
}

TEST_F(LoggingWindow, ASampleCrossingMidnightGoesToTheEarlierDaysFile) {
    Open();
    form->Start->Value = EncodeTime(23, 0, 0, 0);
    form->Stop->Value = EncodeTime(23, 59, 59, 999);
    // Window test, file name, then the line's time after the tool has ended.
    ScriptedClock clock({UnixMs(2018, 10, 4, 23, 59, 59, 900), UnixMs(2018, 10, 4, 23, 59, 59, 950),
                         UnixMs(2018, 10, 5, 0, 0, 0, 300)});
    FireWith("98");
    EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"), "2018/10/05 00:00:00 9.8\r\n");
    EXPECT_FALSE(QFile::exists("snr-log-2018-10-05.log"));
}

TEST_F(LoggingWindow, AFailedWriteIsReportedOnceAndSamplingGoesOn) {
    Open();
    ScriptedClock clock({UnixMs(2018, 10, 4, 11, 0, 0)});
    // A folder where the day's file should be: no one, root included, can append to it.
    ASSERT_TRUE(QDir().mkdir("snr-log-2018-10-04.log"));
    // While the report is open the timer fires again and fails again: no second box.
    insideBox = [this] {
        insideBox = nullptr;
        EXPECT_TRUE(form->TimerRepeat->Enabled());
        FireWith("124");
    };
    FireWith("123");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Flags & MB_ICONERROR, MB_ICONERROR);
    EXPECT_EQ(boxes[0].Caption, "Tidelog");
    EXPECT_FALSE(boxes[0].Text.isEmpty());
    EXPECT_EQ(form->LabelReport->Caption(), "2018/10/04 11:00:00 12.4");
    EXPECT_TRUE(form->TimerRepeat->Enabled());
    EXPECT_TRUE(form->TimerRepeat->Counting());

    // Once the folder can take the file again, samples are logged as before.
    ASSERT_TRUE(QDir().rmdir("snr-log-2018-10-04.log"));
    FireWith("125");
    EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"), "2018/10/04 11:00:00 12.5\r\n");
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(LoggingWindow, OneMessageBoxAtATimeAndAMissingToolWaitsForTheOpenOne) {
    TSNRlogger* main = OpenAsMainForm();
    ScriptedClock clock({UnixMs(2018, 10, 4, 11, 0, 0)});
    ASSERT_TRUE(QDir().mkdir("snr-log-2018-10-04.log")); // every write fails
    insideBox = [&] {
        insideBox = nullptr;
        // A further write error: not shown, and sampling goes on.
        setenv("BEAMGAUGE_OUTPUT", "124", 1);
        main->TimerRepeatTimer(main->TimerRepeat);
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(main->TimerRepeat->Enabled());
        // Then the tool is gone: sampling stops, and the message waits for the open box.
        setenv("BEAMGAUGE_OUTPUT", "", 1);
        main->TimerRepeatTimer(main->TimerRepeat);
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(main->TimerRepeat->Enabled());
        EXPECT_TRUE(main->isVisible());
    };
    setenv("BEAMGAUGE_OUTPUT", "123", 1);
    main->TimerRepeatTimer(main->TimerRepeat);

    EXPECT_EQ(mostOpenBoxes, 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Flags & MB_ICONERROR, MB_ICONERROR);
    EXPECT_TRUE(boxes[1].Text.startsWith("Beamgauge.exe may be missing"));
    // Once the open box was closed, the missing tool's message came and the program ends.
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(application->Terminated());
    EXPECT_FALSE(main->TimerRepeat->Enabled());
}

TEST_F(LoggingWindow, AHangingToolIsCutOffAndSamplingGoesOn) {
    Open();
    // Only the hanging run gets the short limit; the next sample has the program's own, so a
    // slow start of the tool cannot cut that one off too.
    const int ownLimitMs = form->ToolTimeLimitMs;
    form->ToolTimeLimitMs = 300;
    ScriptedClock clock({UnixMs(2018, 10, 4, 11, 0, 0)});
    setenv("BEAMGAUGE_HANG", "1", 1);
    FireWith("123"); // answers, then never ends
    unsetenv("BEAMGAUGE_HANG");
    form->ToolTimeLimitMs = ownLimitMs;
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(form->LabelReport->Caption(), "Date/Time/SNR report");
    EXPECT_FALSE(QFile::exists("snr-log-2018-10-04.log"));
    EXPECT_TRUE(form->TimerRepeat->Counting());

    FireWith("124");
    EXPECT_EQ(testfiles::Contents("snr-log-2018-10-04.log"), "2018/10/04 11:00:00 12.4\r\n");
}

TEST_F(LoggingWindow, SettingsAreStoredAndComeBack) {
    Open();
    form->DateTimePickerStart->SetDateTime(EncodeTime(9, 30, 0, 0));
    form->DateTimePickerChange(form->DateTimePickerStart); // as the user's change fires it
    form->CheckBoxDevice->SetChecked(true);
    form->UpDownInterval->SetPosition(17);
    form->Show();
    form->SetLeft(40);
    form->SetTop(30);
    form.reset();

    Open();
    EXPECT_DOUBLE_EQ(form->DateTimePickerStart->DateTime(), EncodeTime(9, 30, 0, 0));
    EXPECT_TRUE(form->CheckBoxDevice->Checked());
    EXPECT_EQ(form->UpDownInterval->Position(), 17);
    EXPECT_EQ(form->LabeledEditInterval->text(), "17");
    form->Show();
    EXPECT_EQ(form->Left(), 40);
    EXPECT_EQ(form->Top(), 30);
}

} // namespace
