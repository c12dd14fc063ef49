#include "SysUtils.h"

#include <cmath>
#include <cstdint>

Exception::Exception(const QString& message) : FMessage(message), FWhat(message.toUtf8()) {}

bool IsLeapYear(int year) {
    return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

namespace {

// Days from 0001-01-01 to the given date, counting 0001-01-01 as day 0.
std::int64_t DaysFromYearOne(int year, int month, int day) {
    // Days of the year before the first of each month, February counted with 28.
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const std::int64_t y = year - 1;
    std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    days += before[month - 1] + (month > 2 && IsLeapYear(year) ? 1 : 0);
    return days + day - 1;
}

// 1899-12-30 counted from 0001-01-01.
constexpr std::int64_t DateDelta = 693593;

// Whole days and milliseconds of the day, the way the run-time library rounds a date-time. False,
// with both 0, for a value the date functions do not take (NaN, infinite, beyond
// MaxDateTimeDays): casting it to whole days would be undefined.
bool SplitDateTime(TDateTime value, std::int64_t& days, std::int64_t& msecOfDay) {
    if (!(std::fabs(value) <= MaxDateTimeDays)) {
        days = msecOfDay = 0;
        return false;
    }
    days = static_cast<std::int64_t>(std::trunc(value));
    msecOfDay = std::llround(std::fabs(value - static_cast<double>(days)) * MSecsPerDay);
    if (msecOfDay >= static_cast<std::int64_t>(MSecsPerDay)) {
        msecOfDay -= static_cast<std::int64_t>(MSecsPerDay);
        days += value < 0 ? -1 : 1;
    }
    return true;
}

} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    result = static_cast<double>(DaysFromYearOne(year, month, day) - DateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result = 0;
    if (!TryEncodeDate(year, month, day, result))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return result;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        return false;
    result = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    TDateTime result = 0;
    if (!TryEncodeTime(hour, minute, second, msec, result))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    std::int64_t days = 0, msec = 0;
    const bool taken = SplitDateTime(value, days, msec);
    std::int64_t n = days + DateDelta; // days since 0001-01-01
    if (!taken || n < 0) {
        year = month = day = 0;
        return;
    }
    // 400-year cycles of 146097 days, then centuries, 4-year cycles and years.
    std::int64_t y = 1;
    y += 400 * (n / 146097);
    n %= 146097;
    std::int64_t c = n / 36524;
    if (c == 4)
        c = 3;
    y += 100 * c;
    n -= c * 36524;
    y += 4 * (n / 1461);
    n %= 1461;
    std::int64_t k = n / 365;
    if (k == 4)
        k = 3;
    y += k;
    n -= k * 365;
    year = static_cast<int>(y);
    month = 1;
    // Bounded by December as well: DaysInMonth gives 0 past it, which would never end the loop.
    while (month < 12 && n >= DaysInMonth(year, month)) {
        n -= DaysInMonth(year, month);
        ++month;
    }
    day = static_cast<int>(n) + 1;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    std::int64_t days = 0, ms = 0;
    SplitDateTime(value, days, ms); // 00:00:00.000 for a value it does not take
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec) {
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
}

std::int64_t TimeOfDayMilliseconds(TDateTime timeOfDay) {
    return std::llround(timeOfDay * MSecsPerDay);
}

TDateTime DateOf(TDateTime value) {
    return std::trunc(value);
}

TDateTime TimeOf(TDateTime value) {
    return std::fabs(value - std::trunc(value));
}
