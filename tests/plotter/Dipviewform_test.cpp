// The plotting window driven for real: its form resource, its settings, the rebuild from log
// files written by the test, the colours, the results label, the marker and the read-out.
#include "Dipviewform.h"

#include "TestDirs.h"
#include "TestFiles.h"
#include "formats.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

class PlottingWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetFormatSettings(TFormatSettings{});
        application = std::make_unique<TApplication>();
        application->MessageBoxHook = [this](const TMessageBoxRequest& box) {
            boxes.push_back(box);
            return IDOK;
        };
    }
    void TearDown() override {
        form.reset();
        application.reset();
        ResetFormatSettings();
    }

    void Open(const QString& mask = QString()) {
        form = ui::CreateForm<TFormDipview>(mask);
        form->ComboBoxSmoothing->SetItemIndex(0); // no smoothing: the dips stay as written
    }

    TColor Colour(int series) const { return form->Chart->Series(series)->SeriesColor(); }
    TPenStyle Pen(int series) const { return form->Chart->Series(series)->LinePen().Style; }

    std::unique_ptr<TApplication> application;
    TFormPtr<TFormDipview> form;
    std::vector<TMessageBoxRequest> boxes;
};

TEST_F(PlottingWindow, FirstRunShowsTheDesignedSetUp) {
    form = ui::CreateForm<TFormDipview>(QString());
    EXPECT_EQ(form->Caption(), "Solar outage plot from Orrindale Software.  Data from: work");
    EXPECT_EQ(form->ClientWidth(), 722);
    EXPECT_EQ(form->ClientHeight(), 532);
    EXPECT_DOUBLE_EQ(form->DateTimePickerUTCstart->Time(), EncodeTime(10, 45, 0, 0));
    EXPECT_DOUBLE_EQ(form->DateTimePickerUTCstop->Time(), EncodeTime(11, 15, 0, 0));
    EXPECT_DOUBLE_EQ(form->DateTimePickerStartDate->Date(), 43013);
    EXPECT_EQ(form->ComboBoxSmoothing->currentText(), "Smooth");
    EXPECT_EQ(form->Chart->SeriesCount(), 1); // the empty designed series
    EXPECT_TRUE(form->TimerStartup->Enabled());
    EXPECT_EQ(form->TimerStartup->Interval(), 100);

    // No log file: the rebuild leaves the chart empty and the label as it was.
    form->TimerStartupTimer(form->TimerStartup);
    EXPECT_FALSE(form->TimerStartup->Enabled());
    EXPECT_EQ(form->Chart->SeriesCount(), 0);
    EXPECT_EQ(form->LabelResults->Caption(), "Results");
}

TEST_F(PlottingWindow, DaysAreColouredAroundTheDeepestAndTheMarkerIsDrawn) {
    // Inside the window at both ends, outside just beyond them.
    testfiles::WriteDayLog("snr-log-2017-10-05.log", "2017/10/05", 2,
                           "2017/10/05 10:44:55 1.0\r\n2017/10/05 10:45:00 10.0\r\n"
                           "2017/10/05 11:15:00 10.0\r\n2017/10/05 11:15:05 1.0\r\n"
                           "2017/10/05 11:03:30 PRED\r\n2017/10/05 11:20:00 PRED\r\n",
                           5);
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5, {}, 6);
    testfiles::WriteDayLog("SNR-LOG-2017-10-07.LOG", "2017/10/07", 3, {}, 7);
    Open("*.log");
    form->TimerStartupTimer(form->TimerStartup);

    ASSERT_EQ(form->Chart->SeriesCount(), 4);
    ASSERT_EQ(form->DipRecords.size(), 3u);
    EXPECT_EQ(form->Chart->Series(0)->Title, "05-Oct");
    EXPECT_EQ(form->Chart->Series(0)->Count(), 7);
    EXPECT_EQ(form->Chart->Series(2)->Title, "07-Oct"); // the upper-case name sorts among the rest
    EXPECT_EQ(form->DipRecords[1].Dip, -5);
    EXPECT_DOUBLE_EQ(form->DipRecords[1].DipTime,
                     EncodeDate(2017, 10, 6) + EncodeTime(11, 0, 0, 0));
    EXPECT_EQ(form->LabelResults->Caption(),
              "Minimum at Oct-06 11:00:00\rPredicted:  Oct-05 11:03:30");
    EXPECT_EQ(Colour(0), 0x800000u);
    EXPECT_EQ(Pen(0), psSolid);
    EXPECT_EQ(Colour(1), 0x000000u);
    EXPECT_EQ(Pen(1), psSolid);
    EXPECT_EQ(Colour(2), 0x642020u);
    EXPECT_EQ(Pen(2), psDot);

    TLineSeries* marker = form->Chart->Series(3);
    EXPECT_EQ(marker->Title, "Predicted");
    EXPECT_EQ(marker->SeriesColor(), Colour(0)); // the colour of the day it was read in
    EXPECT_TRUE(marker->LinePen().SmallDots);
    ASSERT_EQ(marker->Count(), 2);
    EXPECT_NEAR(marker->XValues()[0], EncodeTime(11, 3, 30, 0), 1e-9);
    EXPECT_NEAR(marker->YValues()[1] - marker->YValues()[0], 0.2, 1e-12);
    EXPECT_TRUE(boxes.empty());

    // Another rebuild starts afresh: one series per day and the marker, no more.
    form->TimerStartupTimer(form->TimerStartup);
    EXPECT_EQ(form->Chart->SeriesCount(), 4);

    // A start date past the file with the marker line: neither the marker nor its line remain.
    form->DateTimePickerStartDate->SetDate(EncodeDate(2017, 10, 6) + 0.75);
    form->DateTimePickerStartDateChange(form->DateTimePickerStartDate);
    EXPECT_EQ(form->StartDate->Value, 43014);
    EXPECT_TRUE(form->TimerStartup->Enabled());
    form->TimerStartupTimer(form->TimerStartup);
    ASSERT_EQ(form->Chart->SeriesCount(), 2); // the files last written on the 6th and the 7th
    EXPECT_EQ(form->LabelResults->Caption(), "Minimum at Oct-06 11:00:00");
    EXPECT_EQ(Colour(0), 0x000000u);
    EXPECT_EQ(Colour(1), 0x642020u);

    // The deepest day loaded last: an empty label.
    form->DateTimePickerStartDate->SetDate(EncodeDate(2017, 10, 7));
    form->DateTimePickerStartDateChange(form->DateTimePickerStartDate);
    form->TimerStartupTimer(form->TimerStartup);
    ASSERT_EQ(form->Chart->SeriesCount(), 1);
    EXPECT_EQ(form->LabelResults->Caption(), "");
    EXPECT_EQ(Colour(0), 0x000000u);
}

TEST_F(PlottingWindow, TimeWindowChangesOnlyLimitTheAxis) {
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5);
    Open();
    form->TimerStartupTimer(form->TimerStartup);
    EXPECT_DOUBLE_EQ(form->Chart->BottomAxis().Minimum(), 0.4479166666666667);
    EXPECT_DOUBLE_EQ(form->Chart->BottomAxis().Maximum(), 0.46875);

    // A start after the stop: both are stored, the axis refuses and keeps its range.
    form->DateTimePickerUTCstart->SetTime(EncodeTime(11, 30, 0, 0));
    ui::CallHandler([&] { form->StartStopChange(form->DateTimePickerUTCstart); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Axis Minimum Value must be <= Maximum");
    EXPECT_DOUBLE_EQ(form->StartUTC->Value, EncodeTime(11, 30, 0, 0));
    EXPECT_DOUBLE_EQ(form->StopUTC->Value, EncodeTime(11, 15, 0, 0));
    EXPECT_DOUBLE_EQ(form->Chart->BottomAxis().Minimum(), 0.4479166666666667);

    // From 10:45 to 11:15 again, stop first, then start: the new range without a message, and
    // no rebuild.
    form->DateTimePickerUTCstart->SetTime(EncodeTime(10, 45, 0, 0));
    ui::CallHandler([&] { form->StartStopChange(form->DateTimePickerUTCstart); });
    form->DateTimePickerUTCstop->SetTime(EncodeTime(12, 0, 0, 0));
    ui::CallHandler([&] { form->StartStopChange(form->DateTimePickerUTCstop); });
    form->DateTimePickerUTCstart->SetTime(EncodeTime(11, 30, 0, 0));
    ui::CallHandler([&] { form->StartStopChange(form->DateTimePickerUTCstart); });
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_DOUBLE_EQ(form->Chart->BottomAxis().Minimum(), EncodeTime(11, 30, 0, 0));
    EXPECT_DOUBLE_EQ(form->Chart->BottomAxis().Maximum(), EncodeTime(12, 0, 0, 0));
    EXPECT_FALSE(form->TimerStartup->Enabled());

    // The settings come back in the next window.
    form.reset();
    form = ui::CreateForm<TFormDipview>(QString());
    EXPECT_DOUBLE_EQ(form->DateTimePickerUTCstart->Time(), EncodeTime(11, 30, 0, 0));
    EXPECT_DOUBLE_EQ(form->DateTimePickerUTCstop->Time(), EncodeTime(12, 0, 0, 0));
}

TEST_F(PlottingWindow, CursorReadOutNamesTheSeriesUnderTheMouse) {
    testfiles::WriteDayLog("snr-log-2017-10-05.log", "2017/10/05", 2);
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5);
    Open();
    form->resize(722, 532);
    form->TimerStartupTimer(form->TimerStartup);
    form->Chart->RepaintNow();
    const int x = qRound(form->Chart->BottomAxis().CalcPosValue(EncodeTime(11, 0, 0, 0)));
    const int y = qRound(form->Chart->LeftAxis().CalcPosValue(-5));
    form->ChartMouseMove(form->Chart, {}, x, y);
    EXPECT_EQ(form->LabelCursor->Caption(), "06-Oct  11:00:00  SNR dip: -5.0 dB");
    // Both days pass through 10:50 at 0 dB: the one added first is named.
    const int x0 = qRound(form->Chart->BottomAxis().CalcPosValue(EncodeTime(10, 50, 0, 0)));
    const int y0 = qRound(form->Chart->LeftAxis().CalcPosValue(0));
    form->ChartMouseMove(form->Chart, {}, x0, y0);
    EXPECT_EQ(form->LabelCursor->Caption(), "05-Oct  10:50:00  SNR dip: 0.0 dB");
    // Inside the chart but outside the plotting rectangle: nothing.
    form->ChartMouseMove(form->Chart, {}, 1, 1);
    EXPECT_EQ(form->LabelCursor->Caption(), "");
}

TEST_F(PlottingWindow, RebuildsFreeTheSeriesOfTheLastOne) {
    testfiles::WriteDayLog("snr-log-2017-10-05.log", "2017/10/05", 2,
                           "2017/10/05 11:03:30 PRED\r\n", 5);
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5);
    testfiles::WriteDayLog("snr-log-2017-10-07.log", "2017/10/07", 3, {}, 7);
    Open();
    const int formComponents = form->ComponentCount();
    form->TimerStartupTimer(form->TimerStartup);
    // Three days and the marker; the form's own empty series is gone.
    EXPECT_EQ(form->Chart->SeriesCount(), 4);
    EXPECT_EQ(form->Chart->ComponentCount(), 4);
    EXPECT_EQ(form->Series1, nullptr);
    EXPECT_EQ(form->ComponentCount(), formComponents - 1);
    for (int i = 0; i < 5; ++i) {
        form->ComboBoxSmoothing->SetItemIndex(i % 3);
        form->TimerStartupTimer(form->TimerStartup);
        EXPECT_EQ(form->Chart->SeriesCount(), 4);
        EXPECT_EQ(form->Chart->ComponentCount(), 4) << "rebuild " << i;
    }
    EXPECT_EQ(form->PredictedSeries, form->Chart->Series(0));
}

TEST_F(PlottingWindow, AFileThatCrossesMidnightKeepsItsDay) {
    // The last sample's tool run ended after midnight: its line carries the next date.
    testfiles::WriteContents("crossing/snr-log-2017-10-05.log",
                             "2017/10/05 10:50:00 10.0\r\n2017/10/05 11:00:00 8.0\r\n"
                             "2017/10/05 11:10:00 10.0\r\n2017/10/06 00:00:02 10.0\r\n");
    Open("crossing/*.log");
    form->TimerStartupTimer(form->TimerStartup);
    ASSERT_EQ(form->Chart->SeriesCount(), 1);
    ASSERT_EQ(form->DipRecords.size(), 1u);
    EXPECT_EQ(form->Chart->Series(0)->Title, "05-Oct");
    EXPECT_EQ(form->DipRecords[0].Series, form->Chart->Series(0));
    EXPECT_EQ(form->DipRecords[0].Dip, -1);
    EXPECT_DOUBLE_EQ(form->DipRecords[0].DipTime,
                     EncodeDate(2017, 10, 5) + EncodeTime(11, 0, 0, 0));
    EXPECT_EQ(Colour(0), 0x000000u);

    // Two dates inside the window: a day each, in the order they were started, each record
    // with its own date, after the days of the files before.
    testfiles::WriteContents("crossing/snr-log-2017-10-07.log",
                             "2017/10/07 10:50:00 10.0\r\n2017/10/07 11:00:00 7.0\r\n"
                             "2017/10/07 11:10:00 10.0\r\n2017/10/08 10:50:00 10.0\r\n"
                             "2017/10/08 11:00:00 9.0\r\n2017/10/08 11:10:00 10.0\r\n");
    form->TimerStartupTimer(form->TimerStartup);
    ASSERT_EQ(form->Chart->SeriesCount(), 3);
    ASSERT_EQ(form->DipRecords.size(), 3u);
    const char* titles[] = {"05-Oct", "07-Oct", "08-Oct"};
    const double dips[] = {-1, -1.5, -0.5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form->Chart->Series(i)->Title, titles[i]);
        EXPECT_EQ(form->DipRecords[i].Series, form->Chart->Series(i));
        EXPECT_EQ(form->DipRecords[i].Dip, dips[i]);
    }
    EXPECT_DOUBLE_EQ(form->DipRecords[2].DipTime,
                     EncodeDate(2017, 10, 8) + EncodeTime(11, 0, 0, 0));
    EXPECT_EQ(form->CurrentDay, EncodeDate(2017, 10, 8));
    EXPECT_EQ(form->LabelResults->Caption(), "Minimum at Oct-07 11:00:00");
}

TEST_F(PlottingWindow, AfterARebuildEveryPickerChangeIsStoredAgain) {
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5);
    Open();
    form->TimerStartupTimer(form->TimerStartup);
    // Another copy of the program stores another start; the picker is then set to the same
    // time the rebuild stored, and its change must still reach the store.
    {
        TRegistryDateTime other(QStringLiteral("StartUTC"), 0);
        other.Value = EncodeTime(9, 0, 0, 0);
    }
    form->DateTimePickerUTCstart->SetTime(form->StartUTC->Value);
    form->StartStopChange(form->DateTimePickerUTCstart);
    TRegistryDateTime stored(QStringLiteral("StartUTC"), 0);
    EXPECT_DOUBLE_EQ(stored.Value, EncodeTime(10, 45, 0, 0));
}

TEST_F(PlottingWindow, MaskArgumentNamesTheFilesAndTheCaption) {
    ASSERT_TRUE(QDir().mkdir("logs"));
    testfiles::WriteDayLog("logs/snr-log-2017-10-06.log", "2017/10/06", 4);
    testfiles::WriteDayLog("snr-log-2017-10-07.log", "2017/10/07", 3);
    Open("logs/snr-log-2017*.log");
    EXPECT_TRUE(form->Caption().endsWith("  Data from: logs/snr-log-2017*.log"));
    form->TimerStartupTimer(form->TimerStartup);
    ASSERT_EQ(form->Chart->SeriesCount(), 1);
    EXPECT_EQ(form->Chart->Series(0)->Title, "06-Oct");
    EXPECT_EQ(form->LogMask, "logs/snr-log-2017*.log");
}

} // namespace
