#include "ChildProcesses.h"
#include "SnrLogFile.h"
#include "SnrSample.h"
#include "TestDirs.h"
#include "TestFiles.h"
#include "TestFormats.h"
#include "formats.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace {

using testfiles::Contents;
using testfiles::InOutErrorCode;
using testformats::At;

TEST(SnrLogFile, NameIsTheUtcDateWithHyphensWhateverTheSeparator) {
    SetFormatSettings(testformats::Separators(u'.', u'.', u'.'));
    const struct {
        TDateTime value;
        const char* name;
    } rows[] = {
        {At(2018, 10, 4, 10, 55, 0), "snr-log-2018-10-04.log"},
        {EncodeDate(2018, 10, 4), "snr-log-2018-10-04.log"},
        {At(2018, 10, 4, 23, 59, 59, 999), "snr-log-2018-10-04.log"},
        {At(2000, 2, 29, 12, 0, 0), "snr-log-2000-02-29.log"},
        {At(2019, 1, 1, 0, 0, 0), "snr-log-2019-01-01.log"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SnrLogFileName(row.value), row.name);
}

TEST(SnrLogFile, FirstSampleMakesTheFileLaterOnesAppend) {
    const TDateTime day = At(2018, 10, 4, 10, 55, 0);
    AddSnrLogLine(day, "2018/10/04 10:55:00 12.3");
    EXPECT_EQ(Contents("snr-log-2018-10-04.log"), "2018/10/04 10:55:00 12.3\r\n");
    AddSnrLogLine(day + 5.0 / 86400, QString::fromUtf8("2018/10/04 10:55:05 0.0 é"));
    EXPECT_EQ(Contents("snr-log-2018-10-04.log"),
              "2018/10/04 10:55:00 12.3\r\n2018/10/04 10:55:05 0.0 \xc3\xa9\r\n");
    EXPECT_EQ(QDir().entryList(QDir::Files), QStringList{"snr-log-2018-10-04.log"});
}

TEST(SnrLogFile, ExistingLinesStayAndAnUnendedLastLineIsJoined) {
    testfiles::WriteContents("snr-log-2018-10-04.log",
                             "2018/10/04 10:54:55 12.1\r\n2018/10/04 10:55:00 12.2");
    AddSnrLogLine(At(2018, 10, 4, 10, 55, 5), "2018/10/04 10:55:05 12.3");
    EXPECT_EQ(Contents("snr-log-2018-10-04.log"),
              "2018/10/04 10:54:55 12.1\r\n2018/10/04 10:55:00 12.22018/10/04 10:55:05 12.3\r\n");
}

TEST(SnrLogFile, ASampleAcrossMidnightGoesToTheDayItStarted) {
    SetFormatSettings(TFormatSettings());
    const TDateTime started = At(2018, 10, 4, 23, 59, 58);
    const TDateTime answered = At(2018, 10, 5, 0, 0, 3);
    AddSnrLogLine(started, SnrReportText(answered, 12.3f));
    EXPECT_EQ(Contents("snr-log-2018-10-04.log"), "2018/10/05 00:00:03 12.3\r\n");
    EXPECT_FALSE(QFile::exists("snr-log-2018-10-05.log"));
}

TEST(SnrLogFile, FailuresRaiseWithTheSystemsCode) {
    const TDateTime day = At(2018, 10, 4, 10, 55, 0);
    // A folder where the day's file should be.
    QDir().mkdir("snr-log-2018-10-04.log");
    EXPECT_EQ(InOutErrorCode([&] { AddSnrLogLine(day, "x"); }), EISDIR);

    // The current folder is gone: nothing can be made in it (root included).
    ASSERT_EQ(::rmdir(QFile::encodeName(testdirs::WorkDir() + "/snr-log-2018-10-04.log")), 0);
    ASSERT_EQ(::rmdir(QFile::encodeName(testdirs::WorkDir())), 0);
    EXPECT_EQ(InOutErrorCode([&] { AddSnrLogLine(day, "x"); }), ENOENT);
}

TEST(SnrLogFile, AFailedWriteStillClosesTheFile) {
    testfiles::WriteContents("snr-log-2018-10-04.log", "");
    const auto before = proctest::OpenDescriptors();
    {
        testfiles::ScopedFileSizeLimit full(0);
        EXPECT_EQ(InOutErrorCode([] { AddSnrLogLine(At(2018, 10, 4, 10, 55, 0), "x"); }), EFBIG);
    }
    EXPECT_EQ(proctest::OpenDescriptors(), before);
}

TEST(SnrLogFile, AFullDiskLeavesNoPartOfTheLineAndTheNextLineStartsClean) {
    // Two pages: one for a file that is removed later, one for the log.
    testfiles::ScopedSmallFileSystem disk("small", 8);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why().toStdString();
    testfiles::WriteContents("small/other", QByteArray(4096, 'x'));
    // The log's page is full but for 14 bytes: a line goes out in part, then the disk is full.
    QByteArray lines;
    for (int i = 0; i < 157; ++i)
        lines += "2026/12/09 06:41:57 12.1\r\n";
    testfiles::WriteContents("small/snr-log-2026-12-09.log", lines);
    ASSERT_TRUE(QDir::setCurrent("small"));

    const TDateTime day = At(2026, 12, 9, 6, 42, 0);
    EXPECT_EQ(InOutErrorCode([&] { AddSnrLogLine(day, "2026/12/09 06:42:00 12.2"); }), ENOSPC);
    EXPECT_EQ(Contents("snr-log-2026-12-09.log"), lines);

    // Once there is room again, the next sample is a line of its own.
    ASSERT_TRUE(QFile::remove("other"));
    AddSnrLogLine(day, "2026/12/09 06:42:02 12.2");
    EXPECT_EQ(Contents("snr-log-2026-12-09.log"), lines + "2026/12/09 06:42:02 12.2\r\n");
    ASSERT_TRUE(QDir::setCurrent(testdirs::WorkDir()));
}

} // namespace
