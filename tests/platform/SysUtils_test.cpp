#include "Classes.h"
#include "SysUtils.h"
#include "TestEnvironment.h"
#include "formats.h"
#include "winbase.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

struct DateRow {
    int year, month, day;
    bool valid;
    double serial;
};

TEST(DateEncoding, ValidityAndSerialNumbers) {
    const DateRow rows[] = {
        {1899, 12, 30, true, 0},    {1899, 12, 31, true, 1},       {1900, 1, 1, true, 2},
        {2020, 3, 15, true, 43905}, {2018, 10, 4, true, 43377},    {2000, 2, 29, true, 36585},
        {1900, 2, 29, false, 0},    {2019, 2, 29, false, 0},       {2024, 2, 29, true, 45351},
        {2020, 13, 1, false, 0},    {2020, 0, 1, false, 0},        {2020, 4, 31, false, 0},
        {2020, 4, 0, false, 0},     {0, 1, 1, false, 0},           {10000, 1, 1, false, 0},
        {1, 1, 1, true, -693593},   {9999, 12, 31, true, 2958465},
    };
    for (const DateRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.year << "-" << row.month << "-" << row.day);
        TDateTime value = -1;
        ASSERT_EQ(TryEncodeDate(row.year, row.month, row.day, value), row.valid);
        if (!row.valid) {
            EXPECT_THROW(EncodeDate(row.year, row.month, row.day), EConvertError);
            continue;
        }
        EXPECT_EQ(value, row.serial);
        int y = 0, m = 0, d = 0;
        DecodeDate(value, y, m, d);
        EXPECT_EQ(y, row.year);
        EXPECT_EQ(m, row.month);
        EXPECT_EQ(d, row.day);
    }
}

TEST(DateEncoding, TimesRoundTripAndRejectHour24) {
    EXPECT_DOUBLE_EQ(EncodeTime(10, 50, 0, 0), 0.4513888888888889);
    EXPECT_DOUBLE_EQ(EncodeTime(11, 17, 0, 0), 0.4701388888888889);
    EXPECT_DOUBLE_EQ(EncodeTime(0, 0, 0, 0), 0.0);
    TDateTime ignored = 0;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, ignored));
    EXPECT_FALSE(TryEncodeTime(23, 60, 0, 0, ignored));
    EXPECT_FALSE(TryEncodeTime(23, 59, 60, 0, ignored));
    EXPECT_FALSE(TryEncodeTime(23, 59, 59, 1000, ignored));

    int h, n, s, ms;
    DecodeTime(EncodeDate(2020, 3, 15) + EncodeTime(23, 59, 59, 999), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235959999);
    // A value a hair below midnight rounds to the next day's 00:00:00.000.
    int y, m, d;
    DecodeDateTime(43905.99999999999, y, m, d, h, n, s, ms);
    EXPECT_EQ(d, 16);
    EXPECT_EQ(h + n + s + ms, 0);
    // Before 1899-12-30 the time is read from the fraction's magnitude.
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ(h, 6);
}

TEST(DateEncoding, ValuesBeyondTheCalendarDecodeAsNoDate) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double most = std::numeric_limits<double>::max();
    const double rows[] = {nan,   inf,    -inf,    1e11 + 1, -1e11 - 1, 1e15,
                           -1e15, 9.3e18, -9.3e18, most,     -most};
    for (const double value : rows) {
        SCOPED_TRACE(value);
        int y = -1, m = -1, d = -1, h = -1, n = -1, s = -1, ms = -1;
        DecodeDateTime(value, y, m, d, h, n, s, ms);
        EXPECT_EQ(std::vector<int>({y, m, d, h, n, s, ms}), std::vector<int>(7, 0));
        EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss", value, TFormatSettings()),
                  "0000/00/00 00:00:00");
    }
    // The largest values taken still give a calendar date and a time of day.
    for (const double value : {1e11, 1e11 - 0.25, 99999999999.99999}) {
        SCOPED_TRACE(value);
        int y = 0, m = 0, d = 0, h = -1, n = -1, s = -1, ms = -1;
        DecodeDateTime(value, y, m, d, h, n, s, ms);
        EXPECT_GT(y, 9999);
        EXPECT_GE(m, 1);
        EXPECT_LE(m, 12);
        EXPECT_GE(d, 1);
        EXPECT_LE(d, DaysInMonth(y, m));
        EXPECT_GE(h, 0);
        EXPECT_LE(h, 23);
        EXPECT_GE(n, 0);
        EXPECT_GE(s, 0);
        EXPECT_GE(ms, 0);
    }
}

TEST(TextLines, LineEndsAndLastLine) {
    EXPECT_EQ(SplitTextLines(""), QStringList());
    EXPECT_EQ(SplitTextLines("123"), QStringList{"123"});
    EXPECT_EQ(SplitTextLines("123\r\n"), QStringList{"123"});
    EXPECT_EQ(SplitTextLines("\n123"), (QStringList{"", "123"}));
    EXPECT_EQ(SplitTextLines("a\rb\nc\r\nd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\n\rb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("\r\n"), QStringList{""});
}

TEST(Clock, OverrideGivesUtcWhateverTheZone) {
    SYSTEMTIME st{};
    {
        const testenv::ScopedVariable inZone("TZ", "Pacific/Kiritimati");
        // 2020-03-15 06:00:00.500 UTC
        SetClockSource([] { return std::int64_t{1584252000500}; });
        GetSystemTime(&st);
        SetClockSource({});
    }
    EXPECT_EQ(st.wYear, 2020);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 15);
    EXPECT_EQ(st.wHour, 6);
    EXPECT_EQ(st.wMinute, 0);
    EXPECT_EQ(st.wSecond, 0);
    EXPECT_EQ(st.wMilliseconds, 500);
    EXPECT_EQ(st.wDayOfWeek, 0);
}

TEST(Components, OwnerFreesWhatItOwnsAndStatesAreFlags) {
    static int freed = 0;
    struct Counted : TComponent {
        using TComponent::TComponent;
        ~Counted() override { ++freed; }
    };
    freed = 0;
    {
        Counted owner(nullptr);
        auto* a = new Counted(&owner);
        new Counted(&owner);
        EXPECT_EQ(owner.ComponentCount(), 2);
        delete a; // an owned component freed early leaves its owner's list
        EXPECT_EQ(owner.ComponentCount(), 1);
        owner.SetLoading(true);
        EXPECT_TRUE(owner.IsLoading());
        owner.Loaded();
        EXPECT_FALSE(owner.IsLoading());
    }
    EXPECT_EQ(freed, 3);
}

} // namespace
