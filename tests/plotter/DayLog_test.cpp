// A log file read for the day-series loader, and the reader that reads the files of a rebuild
// ahead on worker threads.
#include "DayLog.h"

#include "TestFiles.h"

#include <QDir>

#include <gtest/gtest.h>

#include <tuple>

namespace {

auto Fields(const TLogDateRun& run) {
    return std::tuple(run.Date, run.First, run.Count);
}
auto Fields(const TLogSample& sample) {
    return std::tuple(sample.Time, sample.Value);
}

template <class T> std::vector<decltype(Fields(T{}))> AllFields(const std::vector<T>& items) {
    std::vector<decltype(Fields(T{}))> fields;
    for (const T& item : items)
        fields.push_back(Fields(item));
    return fields;
}

TEST(DayLog, RunsOfOneDateKeepPointsAndPredictedLines) {
    // Rejected lines are skipped; a value of 0 or below only counts for the run of dates.
    testfiles::WriteContents("day.log", "2017/10/05 10:50:00 10.0\r\n"
                                        "garbage\r\n"
                                        "2017/10/05 10:51:00 0.0\r\n"
                                        "2017/10/05 11:02:00 pred\r\n"
                                        "2017/10/06 00:00:02 -1.0\r\n"
                                        "2017/10/05 11:00:00 9.5");
    TDayLogBuffers buffers;
    const TDayLog log = ReadDayLog("day.log", TLogLineParser(), buffers);
    EXPECT_TRUE(log.Loaded);
    const double d = EncodeDate(2017, 10, 5);
    EXPECT_EQ(AllFields(log.Runs), (std::vector{std::tuple(d, std::size_t{0}, std::size_t{2}),
                                                std::tuple(d + 1, std::size_t{2}, std::size_t{0}),
                                                std::tuple(d, std::size_t{2}, std::size_t{1})}));
    EXPECT_EQ(AllFields(log.Samples), (std::vector{std::tuple(EncodeTime(10, 50, 0, 0), 10.0),
                                                   std::tuple(EncodeTime(11, 2, 0, 0), -99.0),
                                                   std::tuple(EncodeTime(11, 0, 0, 0), 9.5)}));

    // Nothing to load from what is not a file that can be read.
    QDir().mkdir("folder.log");
    EXPECT_FALSE(ReadDayLog("folder.log", TLogLineParser(), buffers).Loaded);
    EXPECT_FALSE(ReadDayLog("absent.log", TLogLineParser(), buffers).Loaded);
}

TEST(DayLog, TheReaderHandsTheFilesOutInTheirOrder) {
    // Files of different lengths, so reads end out of order; a gap and a folder among them.
    QStringList paths;
    for (int i = 0; i < 60; ++i) {
        QByteArray text;
        for (int line = 0; line <= (i * 37) % 400; ++line)
            text += QStringLiteral("2017/10/%1 10:%2:%3 %4.5\r\n")
                        .arg(5 + i % 20)
                        .arg(line / 60 % 60, 2, 10, QChar(u'0'))
                        .arg(line % 60, 2, 10, QChar(u'0'))
                        .arg(1 + i % 9)
                        .toLatin1();
        const QString path = QStringLiteral("logs/day-%1.log").arg(i);
        testfiles::WriteContents(path, text);
        paths.append(path);
    }
    paths.insert(10, QStringLiteral("logs/absent.log"));
    QDir().mkdir("logs/folder.log");
    paths.insert(20, QStringLiteral("logs/folder.log"));

    TDayLogReader reader(paths, TLogLineParser());
    TDayLogBuffers buffers;
    for (const QString& path : paths) {
        ASSERT_FALSE(reader.AtEnd());
        const TDayLog read = reader.Next();
        const TDayLog expected = ReadDayLog(path, TLogLineParser(), buffers);
        EXPECT_EQ(read.Loaded, expected.Loaded) << path.toStdString();
        EXPECT_EQ(AllFields(read.Runs), AllFields(expected.Runs)) << path.toStdString();
        EXPECT_EQ(AllFields(read.Samples), AllFields(expected.Samples)) << path.toStdString();
    }
    EXPECT_TRUE(reader.AtEnd());
}

} // namespace
