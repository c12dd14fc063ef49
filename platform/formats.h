// The user's locale formats: the date, time and decimal separators and the short month names,
// and the date-time formatting and number conversions that use them.
//
// Numbers the programs write or read (log lines, the tool's answer) go through these functions
// only, never through C or C++ locale-dependent conversions: those follow whatever locale the
// process happens to run under, these follow the current format settings below and nothing else.
#pragma once

#include "SysUtils.h"

#include <QChar>
#include <QString>
#include <QStringList>

struct TFormatSettings {
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QChar DecimalSeparator = u'.';
    // Twelve names, January first.
    QStringList ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};

// The formats of the user's locale, as the environment names it (LC_ALL, LC_TIME, LC_NUMERIC,
// LANG): the date separator is the first separator of the locale's date format, the time
// separator that of its time format, the decimal separator its radix character (each the first
// character when the locale gives more), the month names its abbreviated month names. A category
// whose locale cannot be loaded gives the C locale's formats ("/", ":", ".", "Jan".."Dec").
// The process's own C locale is neither read nor changed.
TFormatSettings LocaleFormatSettings();

// The settings every formatting and conversion below uses unless given others. The first use
// reads them from the user's locale. Tests replace them with SetFormatSettings and put the
// user's locale back with ResetFormatSettings.
TFormatSettings FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);
void ResetFormatSettings();

// Formats a date-time by a pattern. Letters are case-insensitive:
//   yyyy  four-digit year (three or more y)    yy  two-digit year (one or two y)
//   m     month without padding                mm  two-digit month    mmm  short month name
//   d, dd day; h, hh hour (24-hour clock); n, nn minutes; s, ss seconds (fraction dropped)
//   /     the date separator                   :   the time separator
//   "..." or '...'  copied without the quotes
// Any other character is copied as it stands. "m" is always the month: minutes are "n".
QString FormatDateTime(const QString& pattern, TDateTime value);
QString FormatDateTime(const QString& pattern, TDateTime value, const TFormatSettings& settings);

// The value with `decimals` digits after the decimal separator (0 to 17), rounded from its exact
// binary value as printf's "%.Nf" rounds; the separator is left out when `decimals` is 0.
// No thousands separator, a "-" for negative values (also for a negative value that rounds to 0).
QString FormatFixed(double value, int decimals);
QString FormatFixed(double value, int decimals, const TFormatSettings& settings);

// Text to number. Accepted, and nothing else: blanks (spaces) before and after; an optional
// sign; decimal digits with at most one decimal separator, followed by at least one digit, and
// at least one digit before or after it; an optional exponent "E" or "e" with an optional sign
// and at least one digit. Anything else fails: an empty text, tabs or other white space, letters,
// a separator other than the current one, a number beyond the range of a double.
// On failure `value` is left as it was.
bool TryStrToFloat(const QString& text, double& value);
bool TryStrToFloat(const QString& text, double& value, const TFormatSettings& settings);
bool TryStrToFloat(QStringView text, double& value, const TFormatSettings& settings);

// Text to integer: blanks before the number, an optional sign, decimal digits, nothing after
// them; it must fit a signed 32-bit integer. On failure `value` is left as it was.
bool TryStrToInt(const QString& text, int& value);
bool TryStrToInt(QStringView text, int& value);
