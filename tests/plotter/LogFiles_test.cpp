#include "LogFiles.h"
#include "StringList.h"
#include "formats.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>

namespace {

struct TFields {
    int y, mo, d, h, n, s, ms;
    bool operator==(const TFields&) const = default;
};

void PrintTo(const TFields& f, std::ostream* os) {
    *os << f.y << "-" << f.mo << "-" << f.d << " " << f.h << ":" << f.n << ":" << f.s << "."
        << f.ms;
}

TFields Decoded(TDateTime value) {
    TFields f{};
    DecodeDateTime(value, f.y, f.mo, f.d, f.h, f.n, f.s, f.ms);
    return f;
}

void UseDecimalSeparator(QChar decimal) {
    TFormatSettings settings;
    settings.DecimalSeparator = decimal;
    SetFormatSettings(settings);
}

TEST(ParseLogLine, LineFormsFieldsAndRejections) {
    struct Row {
        const char* line;
        QChar decimal;
        bool accepted;
        TFields at; // date and time of day, when accepted
        double value;
    } const rows[] = {
        // Year-first, as the logging program writes it; the value field is 4 characters.
        {"2017/10/05 10:50:05 12.3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"2017/10/05 10:50:05 9.5", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 9.5},
        {"2017.10.05 10.50.05 12.3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"2017/ 1/ 5  9:+5:05 1e1", u'.', true, {2017, 1, 5, 9, 5, 5, 0}, 10},
        {"2017/10/05", u'.', true, {2017, 10, 5, 0, 0, 0, 0}, 0},
        // Either decimal mark stands for the user's separator.
        {"2017/10/05 10:50:05 12,3", u',', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"2017/10/05 10:50:05 12.3", u',', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"2017/10/05 10:50:05 12,3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"2017/10/05 10:50:05 ab.c", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 0},
        // The predicted-time line, in any case.
        {"2017/10/05 11:02:00 PRED", u'.', true, {2017, 10, 5, 11, 2, 0, 0}, -99},
        {"2017/10/05 11:02:00 pReD", u',', true, {2017, 10, 5, 11, 2, 0, 0}, -99},
        // Dotted, day first: the value field starts at position 24.
        {"05.10.2017 10:50:05    12.3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"05.10.2017 10:50:05 12.3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 3},
        {"05.10.2017 10:50:05    pred 1507200610", u'.', true, {2017, 10, 5, 10, 50, 10, 0}, -99},
        // Trailing seconds since 1970 give the time only when they fall on the line's date.
        {"2017/10/05 10:50:05 12.3 1507200610", u'.', true, {2017, 10, 5, 10, 50, 10, 0}, 12.3},
        {"2017/10/05 10:50:05 12.3\t1507248000\r", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        // Comma-separated: seconds, three ignored fields, the value (no mark replaced).
        {"1507200605,a,b,c,12.3", u'.', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"1507200605,a,b,c,12.3,more", u',', true, {2017, 10, 5, 10, 50, 5, 0}, 0},
        {"1507200605,a,b,c,\"12,3\"", u',', true, {2017, 10, 5, 10, 50, 5, 0}, 12.3},
        {"x507200605,a,b,c,7", u'.', true, {2106, 2, 7, 6, 28, 15, 0}, 7},
        {"-1000,a,b,c,7", u'.', true, {2106, 2, 7, 6, 11, 36, 0}, 7},
        {"1507200605,a,b,c", u'.', false, {}, 0},
        // Rejected.
        {"", u'.', false, {}, 0},
        {"2017", u'.', false, {}, 0},
        {"2017/13/05 10:50:05 12.3", u'.', false, {}, 0},
        {"2017/10/05 24:00:00 12.3", u'.', false, {}, 0},
        {"2017/1x/05 10:50:05 12.3", u'.', false, {}, 0},
    };
    for (const Row& row : rows) {
        UseDecimalSeparator(row.decimal);
        double date = -1, time = -1, value = -1;
        const bool accepted = ParseLogLine(QString::fromUtf8(row.line), date, time, value);
        SCOPED_TRACE(row.line);
        EXPECT_EQ(accepted, row.accepted);
        if (!accepted || !row.accepted)
            continue;
        EXPECT_EQ(date, std::trunc(date));
        EXPECT_TRUE(time >= 0 && time < 1) << time;
        EXPECT_EQ(Decoded(date + time), row.at);
        EXPECT_DOUBLE_EQ(value, row.value);
    }
    ResetFormatSettings();
}

TEST(EpochToDateTime, SecondsAndMicrosecondsSince1970) {
    EXPECT_EQ(EpochToDateTime(0, 0), 25569.0);
    const std::tuple<std::uint32_t, std::uint32_t, TFields> rows[] = {
        {4294967295u, 0, {2106, 2, 7, 6, 28, 15, 0}},
        {1507200605u, 500000, {2017, 10, 5, 10, 50, 5, 500}},
        {0, 4294967295u, {1970, 1, 1, 1, 11, 34, 967}},
    };
    for (const auto& [seconds, micro, expected] : rows)
        EXPECT_EQ(Decoded(EpochToDateTime(seconds, micro)), expected) << seconds << " " << micro;
}

void Touch(const QString& name, time_t seconds = 0, long nanoseconds = 0) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    file.close();
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(name).constData(), times, 0), 0);
}

TEST(ListFiles, PathsCarryTheMasksDirectoryPart) {
    QDir().mkdir("logs");
    QDir().mkdir("snr-log-folder.log");
    for (const char* name : {"logs/snr-log-2017-10-06.log", "logs/snr-log-2017-10-05.log",
                             "snr-log-2017-10-04.log", "SNR-LOG-2017-10-03.LOG", "other.log"})
        Touch(name);
    const std::pair<QString, QStringList> rows[] = {
        {"logs\\snr-log-*.log", {"logs\\snr-log-2017-10-05.log", "logs\\snr-log-2017-10-06.log"}},
        {"snr-log-*.log",
         {"SNR-LOG-2017-10-03.LOG", "snr-log-2017-10-04.log", "snr-log-folder.log"}},
    };
    for (const auto& [mask, expected] : rows) {
        TStringList list;
        list.SetSorted(true);
        ListFiles(mask, list);
        EXPECT_EQ(list.ToStringList(), expected) << mask.toStdString();
    }
}

TEST(FileStampOf, LastWriteTimeInUtcOrZero) {
    // 2017-10-05 10:50:05.123456789 UTC, whatever the local time zone.
    Touch("snr-log-2017-10-05.log", 1507200605, 123456789);
    QDir().mkdir("folder");
    ASSERT_EQ(::symlink("folder", "link-to-folder"), 0);
    EXPECT_EQ(FileStampOf("snr-log-2017-10-05.log"),
              EncodeDate(2017, 10, 5) + EncodeTime(10, 50, 5, 123));
    EXPECT_EQ(FileStampOf("folder"), 0.0);
    EXPECT_EQ(FileStampOf("link-to-folder"), 0.0);
    EXPECT_EQ(FileStampOf("missing.log"), 0.0);
    EXPECT_EQ(FileStampOf("missing/snr-log-2017-10-05.log"), 0.0);
}

} // namespace
