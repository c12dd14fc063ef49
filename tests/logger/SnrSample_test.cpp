#include "SnrSample.h"
#include "TestFormats.h"
#include "formats.h"

#include <gtest/gtest.h>

namespace {

using testformats::At;
using testformats::Separators;

TEST(SnrAnswer, FirstLineOfTheOutput) {
    const struct {
        QByteArray output;
        bool hasLine;
        const char* line;
    } rows[] = {
        {"", false, ""},
        {"123", true, "123"},
        {"123\r\n", true, "123"},
        {"123\r\n456\r\n", true, "123"},
        {"  123  \n", true, "  123  "},
        {"\n123\n", true, ""}, // a number only on the second line
        {"\r", true, ""},
        {"12\r3", true, "12"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.output.toStdString());
        QString line = "untouched";
        EXPECT_EQ(FirstAnswerLine(row.output, line), row.hasLine);
        EXPECT_EQ(line, row.hasLine ? QString(row.line) : QString("untouched"));
    }
}

TEST(SnrAnswer, LineToDecibels) {
    SetFormatSettings(Separators(u'/', u':', u'.'));
    const struct {
        const char* line;
        float snr;
    } rows[] = {
        {"123", 12.3f},
        {"  123  ", 12.3f},
        {"0", 0.0f},
        {"-5", -0.5f},
        {"+75", 7.5f},
        {"1e2", 10.0f},
        {"123.4", 12.34f},
        {"abc", SnrNotANumber},
        {"", SnrNotANumber},
        {"12a", SnrNotANumber},
        {"\t123", SnrNotANumber},
        {"12,3", SnrNotANumber},
        // Beyond what a single-precision value holds: no SNR, not an overflow.
        {"1e300", SnrNotANumber},
        {"-1e300", SnrNotANumber},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(SnrOfAnswerLine(row.line), row.snr);
    }
    SetFormatSettings(Separators(u'.', u':', u','));
    EXPECT_EQ(SnrOfAnswerLine("12,3"), 1.23f);
    EXPECT_EQ(SnrOfAnswerLine("12.3"), SnrNotANumber);
}

TEST(SnrAnswer, BytesThatAreNoTextGiveNoNumber) {
    QString line;
    ASSERT_TRUE(FirstAnswerLine(QByteArray("\xff\xfe\x01 12\n", 7), line));
    EXPECT_EQ(SnrOfAnswerLine(line), SnrNotANumber);
}

TEST(SnrReport, CharacterPositionsUnderEachSeparatorSet) {
    const TDateTime sample = At(2018, 10, 4, 10, 55, 0);
    const struct {
        QChar date, time, decimal;
        const char* expected;
    } rows[] = {
        {u'/', u':', u'.', "2018/10/04 10:55:00 12.3"},
        {u'.', u',', u'.', "2018.10.04 10,55,00 12.3"},
        {u'.', u'.', u',', "2018.10.04 10.55.00 12,3"},
        {u'-', u':', u',', "2018-10-04 10:55:00 12,3"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        SetFormatSettings(Separators(row.date, row.time, row.decimal));
        // The whole text pins every position: 1-4 year, 5 and 8 the date separator, 11 and 20
        // blanks, 14 and 17 the time separator, 21 on the value.
        EXPECT_EQ(SnrReportText(sample, SnrOfAnswerLine("123")), row.expected);
    }
}

TEST(SnrReport, ValueWidthsRoundingAndTime) {
    SetFormatSettings(Separators(u'/', u':', u'.'));
    const TDateTime sample = At(2018, 10, 4, 10, 55, 0);
    const struct {
        float snr;
        const char* value;
    } rows[] = {
        {0.0f, "0.0"},     {0.04f, "0.0"},      {0.05f, "0.1"},  {9.9f, "9.9"},
        {9.96f, "10.0"},   {12.25f, "12.2"},    {99.9f, "99.9"}, {123.4f, "123.4"},
        {123.5f, "123.5"}, {1234.5f, "1234.5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(SnrReportText(sample, row.snr), QString("2018/10/04 10:55:00 ") + row.value);
    }
    // Midnight, and a fraction of a second that is dropped rather than rounded up.
    EXPECT_EQ(SnrReportText(EncodeDate(2018, 10, 5), 12.3f), "2018/10/05 00:00:00 12.3");
    EXPECT_EQ(SnrReportText(At(2018, 10, 4, 23, 59, 59, 999), 12.3f), "2018/10/04 23:59:59 12.3");
}

} // namespace
