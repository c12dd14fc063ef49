// Run-time library basics: the exception classes every layer raises, and the date-time helpers.
// A TDateTime counts days since 1899-12-30; the fraction is the time of day.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

// Base of every exception the programs raise. The message is UTF-16 text; what() gives it as
// UTF-8 for code that only knows std::exception.
class Exception : public std::exception {
public:
    explicit Exception(const QString& message);
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FWhat.constData(); }

private:
    QString FMessage;
    QByteArray FWhat;
};

// A text that is not a valid number or date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A failed operating-system call, with the system's error code.
class EOSError : public Exception {
public:
    EOSError(const QString& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

// A failed file operation (create, open, write, close), with the system's error code.
class EInOutError : public Exception {
public:
    EInOutError(const QString& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

// The system's own wording of an error code, as the run-time library shows it.
QString SysErrorMessage(int errorCode);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Year 1-9999, month 1-12, day within the month (Gregorian leap years). False when invalid.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// As TryEncodeDate, raising EConvertError when invalid.
TDateTime EncodeDate(int year, int month, int day);
// Hour 0-23, minute 0-59, second 0-59, millisecond 0-999. False when invalid.
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int minute, int second, int msec);

// The largest magnitude of a date-time the date functions take, in days (some 270 million
// years). Beyond it, and for NaN and infinities, a date-time has no date and no time of day.
constexpr double MaxDateTimeDays = 1e11;

// Splits a date-time into its calendar date and time of day, to the millisecond (rounded).
// For values before 1899-12-30 the time of day is read from the fraction's magnitude. A value
// before 0001-01-01 decodes as year, month and day 0; one that the date functions do not take
// (see MaxDateTimeDays) as 0 in every part.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// The date part (whole days) and the time of day (the fraction, 0 <= t < 1 for dates from
// 1899-12-30 on) of a date-time.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// A time of day (a fraction of a day) in whole milliseconds, rounded. Times of day are compared
// this way: the clock's day fraction and a setting's value for the same instant can differ in the
// last bits of the double.
std::int64_t TimeOfDayMilliseconds(TDateTime timeOfDay);

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);
