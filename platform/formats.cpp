#include "formats.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

namespace {

std::mutex gSettingsMutex;
std::optional<TFormatSettings> gSettings;

void AppendPadded(QString& out, int number, int width) {
    out += QString::number(number).rightJustified(width, u'0');
}

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Roughly the power of ten of a number spelt as [digits][.digits][e[-]digits]: positive for
// numbers of 1 and above, 0 or negative below. Only its sign is used, for numbers far out of
// the range of a double, so rough is enough.
long long DecimalMagnitude(const std::string& number) {
    long long magnitude = 0;
    bool seenSignificant = false;
    bool inFraction = false;
    std::size_t i = 0;
    for (; i < number.size() && number[i] != 'e'; ++i) {
        const char c = number[i];
        if (c == '.') {
            inFraction = true;
        } else if (!seenSignificant && c != '0') {
            seenSignificant = true;
            if (!inFraction)
                ++magnitude;
        } else if (seenSignificant && !inFraction) {
            ++magnitude;
        } else if (!seenSignificant && inFraction) {
            --magnitude;
        }
    }
    long long exponent = 0;
    bool negativeExponent = false;
    for (++i; i < number.size(); ++i) {
        if (number[i] == '-')
            negativeExponent = true;
        else if (exponent < 1000000)
            exponent = exponent * 10 + (number[i] - '0');
    }
    return magnitude + (negativeExponent ? -exponent : exponent);
}

// A decimal number as a whole number of at most 15 significant digits times a power of ten,
// while it is one. Such a number is read with one multiplication or division of two doubles
// that hold their values exactly, which rounds as correctly as from_chars does, at a fraction of
// the cost: the log lines' values take this way.
struct TDecimal {
    std::uint64_t Mantissa = 0;
    int Significant = 0;
    long long Exponent = 0;
    bool Fits = true;

    void Add(std::uint64_t& mantissa, int digit) {
        if (mantissa == 0 && digit == 0)
            return; // a leading zero is no significant digit
        if (++Significant > 15) {
            Fits = false;
            return;
        }
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(digit);
    }
    void AddExponent(QStringView digits, bool negative) {
        long long exponent = 0;
        for (QChar c : digits) {
            exponent = exponent * 10 + (c.unicode() - u'0');
            if (exponent > 100000) {
                Fits = false;
                return;
            }
        }
        Exponent += negative ? -exponent : exponent;
    }
    bool Exact(double& result) const {
        static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        if (!Fits || Exponent < -22 || Exponent > 22)
            return false;
        const double m = static_cast<double>(Mantissa);
        result = Exponent < 0 ? m / powers[-Exponent] : m * powers[Exponent];
        return true;
    }
};

} // namespace

TFormatSettings FormatSettings() {
    std::lock_guard lock(gSettingsMutex);
    if (!gSettings)
        gSettings = LocaleFormatSettings();
    return *gSettings;
}

void SetFormatSettings(const TFormatSettings& settings) {
    std::lock_guard lock(gSettingsMutex);
    gSettings = settings;
}

void ResetFormatSettings() {
    std::lock_guard lock(gSettingsMutex);
    gSettings.reset();
}

QString FormatDateTime(const QString& pattern, TDateTime value) {
    return FormatDateTime(pattern, value, FormatSettings());
}

QString FormatDateTime(const QString& pattern, TDateTime value, const TFormatSettings& settings) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);

    QString out;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern.at(i);
        if (c == u'"' || c == u'\'') {
            // Quoted text runs to the matching quote, or to the end when there is none.
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0)
                end = n;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == u'/') {
            out += settings.DateSeparator;
            ++i;
            continue;
        }
        if (c == u':') {
            out += settings.TimeSeparator;
            ++i;
            continue;
        }
        const QChar lower = c.toLower();
        if (lower != u'y' && lower != u'm' && lower != u'd' && lower != u'h' && lower != u'n' &&
            lower != u's') {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && pattern.at(i + run).toLower() == lower)
            ++run;
        i += run;
        int part = 0;
        switch (lower.unicode()) {
        case u'y':
            AppendPadded(out, run <= 2 ? year % 100 : year, run <= 2 ? 2 : 4);
            continue;
        case u'm':
            if (run >= 3) {
                out += settings.ShortMonthNames.value(month - 1);
                continue;
            }
            part = month;
            break;
        case u'd':
            part = day;
            break;
        case u'h':
            part = hour;
            break;
        case u'n':
            part = minute;
            break;
        case u's':
            part = second;
            break;
        }
        // Month, day and time parts: one digit at the least, two for a doubled letter.
        AppendPadded(out, part, run >= 2 ? 2 : 1);
    }
    return out;
}

QString FormatFixed(double value, int decimals) {
    return FormatFixed(value, decimals, FormatSettings());
}

QString FormatFixed(double value, int decimals, const TFormatSettings& settings) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 17)
        decimals = 17;
    // std::to_chars never looks at the C locale and rounds the exact binary value, as printf
    // does in the C locale; only the separator is ours to put in.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return QString();
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    const qsizetype point = text.indexOf(u'.');
    if (point >= 0)
        text[point] = settings.DecimalSeparator;
    return text;
}

bool TryStrToFloat(const QString& text, double& value) {
    return TryStrToFloat(QStringView(text), value, FormatSettings());
}

bool TryStrToFloat(const QString& text, double& value, const TFormatSettings& settings) {
    return TryStrToFloat(QStringView(text), value, settings);
}

bool TryStrToFloat(QStringView text, double& value, const TFormatSettings& settings) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text.at(i) == u' ')
        ++i;
    qsizetype end = n;
    while (end > i && text.at(end - 1) == u' ')
        --end;

    // Checked here, character by character, and rebuilt in the one spelling that from_chars
    // reads whatever the locale: ASCII digits, "." and "e".
    std::string number;
    // The digits as a whole number, while they fit, for the short way below.
    TDecimal decimal;
    // Moves the digits at i into number; answers how many there were.
    auto takeDigits = [&](std::uint64_t* into) {
        int count = 0;
        for (; i < end && IsAsciiDigit(text.at(i)); ++i, ++count) {
            const int digit = text.at(i).unicode() - u'0';
            number += static_cast<char>('0' + digit);
            if (into)
                decimal.Add(*into, digit);
        }
        return count;
    };
    bool negative = false;
    if (i < end && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    int mantissaDigits = takeDigits(&decimal.Mantissa);
    if (i < end && text.at(i) == settings.DecimalSeparator) {
        ++i;
        number += '.';
        const int fractionDigits = takeDigits(&decimal.Mantissa);
        if (fractionDigits == 0)
            return false;
        mantissaDigits += fractionDigits;
        decimal.Exponent -= fractionDigits;
    }
    if (mantissaDigits == 0)
        return false;
    if (i < end && (text.at(i) == u'e' || text.at(i) == u'E')) {
        ++i;
        number += 'e';
        bool negativeExponent = false;
        if (i < end && (text.at(i) == u'+' || text.at(i) == u'-')) {
            negativeExponent = text.at(i) == u'-';
            if (negativeExponent)
                number += '-';
            ++i;
        }
        const qsizetype exponentStart = i;
        if (takeDigits(nullptr) == 0)
            return false;
        decimal.AddExponent(text.sliced(exponentStart, i - exponentStart), negativeExponent);
    }
    if (i != end)
        return false;

    double result = 0;
    if (decimal.Exact(result)) {
        value = negative ? -result : result;
        return true;
    }
    const char* first = number.data();
    const char* last = first + number.size();
    const auto parsed = std::from_chars(first, last, result, std::chars_format::general);
    if (parsed.ptr != last)
        return false;
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too small to tell from 0 reads as 0; too large is no number a double holds.
        if (DecimalMagnitude(number) > 0)
            return false;
        result = 0.0;
    } else if (parsed.ec != std::errc() || !std::isfinite(result)) {
        return false;
    }
    value = negative ? -result : result;
    return true;
}

bool TryStrToInt(const QString& text, int& value) {
    return TryStrToInt(QStringView(text), value);
}

bool TryStrToInt(QStringView text, int& value) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == n)
        return false;
    long long result = 0;
    for (; i < n; ++i) {
        if (!IsAsciiDigit(text.at(i)))
            return false;
        result = result * 10 + (text.at(i).unicode() - u'0');
        if (result > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(result);
    return true;
}
