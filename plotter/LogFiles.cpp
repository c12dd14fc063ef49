#include "LogFiles.h"

#include "Classes.h"
#include "StringList.h"
#include "findfile.h"
#include "formats.h"

#include <algorithm>
#include <cmath>

namespace {

// Positions are 1-based character positions, as the log format counts them.
struct TFixedLayout {
    int Year, Month, Day, Hour, Minute, Second, Value, Trailing;
};
constexpr TFixedLayout YearFirst{1, 6, 9, 12, 15, 18, 21, 25};
constexpr TFixedLayout Dotted{7, 4, 1, 12, 15, 18, 24, 28};
constexpr int ValueWidth = 4;
constexpr int TrailingWidth = 999;

// The field at a 1-based position, shorter or empty where the line ends first.
QStringView Field(QStringView line, int position, int width) {
    const qsizetype at = position - 1;
    if (at >= line.size())
        return {};
    return line.mid(at, std::min<qsizetype>(width, line.size() - at));
}

// Leading blanks and a sign are allowed, nothing after the digits; anything else is `otherwise`.
int IntegerOr(QStringView text, int otherwise) {
    int value = 0;
    return TryStrToInt(text, value) ? value : otherwise;
}

int IntegerField(QStringView line, int position, int width) {
    return IntegerOr(Field(line, position, width), 0);
}

double FloatOr0(QStringView text, const TFormatSettings& settings) {
    double value = 0;
    return TryStrToFloat(text, value, settings) ? value : 0;
}

QStringView TrimBlanksAndControls(QStringView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start].unicode() <= 32)
        ++start;
    while (end > start && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

// The value field, at most four characters, copied so its marks can be replaced in place.
struct TValueText {
    QChar Chars[ValueWidth];
    qsizetype Size = 0;

    explicit TValueText(QStringView field) : Size(field.size()) {
        std::copy(field.begin(), field.end(), Chars);
    }
    QStringView View() const { return QStringView(Chars, Size); }
    void ReplaceFirst(QChar from, QChar to) {
        QChar* const end = Chars + Size;
        QChar* const at = std::find(Chars, end, from);
        if (at != end)
            *at = to;
    }
    bool IsPredicted() const {
        if (Size != 4)
            return false;
        for (qsizetype i = 0; i < Size; ++i) {
            char16_t c = Chars[i].unicode();
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
            if (c != u"PRED"[i])
                return false;
        }
        return true;
    }
};

bool ParseFixedWidth(QStringView line, const TFixedLayout& at, const TFormatSettings& settings,
                     double& date, double& time, double& value) {
    if (!TryEncodeDate(IntegerField(line, at.Year, 4), IntegerField(line, at.Month, 2),
                       IntegerField(line, at.Day, 2), date))
        return false;
    if (!TryEncodeTime(IntegerField(line, at.Hour, 2), IntegerField(line, at.Minute, 2),
                       IntegerField(line, at.Second, 2), 0, time))
        return false;

    // Files written under another locale carry "." or ","; either stands for the user's
    // decimal separator.
    TValueText valueText(Field(line, at.Value, ValueWidth));
    valueText.ReplaceFirst(u'.', settings.DecimalSeparator);
    valueText.ReplaceFirst(u',', settings.DecimalSeparator);
    value = FloatOr0(valueText.View(), settings);

    // A count of seconds at the end gives the time of day as the clock recorded it; one that
    // falls on another day than the line's date is not this line's and is left alone.
    int seconds = 0;
    if (TryStrToInt(TrimBlanksAndControls(Field(line, at.Trailing, TrailingWidth)), seconds)) {
        const TDateTime stamp = EpochToDateTime(static_cast<std::uint32_t>(seconds), 0);
        const double day = std::trunc(stamp);
        if (day == date)
            time = stamp - day;
    }

    if (valueText.IsPredicted())
        value = -99;
    return true;
}

bool ParseCommaSeparated(QStringView line, const TFormatSettings& settings, double& date,
                         double& time, double& value) {
    // Only the first and the fifth field are read. A quoted field's doubled quotes make no
    // number either way, so the fields are read as they stand.
    QStringView first, fifth;
    int count = 0;
    ForEachCommaTextField(line, [&](QStringView field, bool) {
        if (count == 0)
            first = field;
        else if (count == 4)
            fifth = field;
        ++count;
    });
    // -1 for a field that is no number: read as unsigned, the last second the count can hold.
    const int seconds = count > 0 ? IntegerOr(first, -1) : -1;
    const TDateTime stamp = EpochToDateTime(static_cast<std::uint32_t>(seconds), 0);
    date = std::trunc(stamp);
    time = stamp - date;
    if (count < 5)
        return false;
    value = FloatOr0(fifth, settings);
    return true;
}

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

void ListFiles(const QString& mask, TStringList& list) {
    const QString directory = ExtractFilePath(mask);
    TSearchRec found;
    if (FindFirst(mask, faAnyFile, found) != 0)
        return;
    do {
        list.Add(directory + found.Name);
    } while (FindNext(found) == 0);
    FindClose(found);
}

TDateTime FileStampOf(const QString& path) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(path, &data);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;
    SYSTEMTIME st{};
    TDateTime day = 0;
    TDateTime timeOfDay = 0;
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &st) ||
        !TryEncodeDate(st.wYear, st.wMonth, st.wDay, day) ||
        !TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, timeOfDay))
        return 0;
    return day + timeOfDay;
}

TDateTime EpochToDateTime(std::uint32_t seconds, std::uint32_t microseconds) {
    const long double days =
        (static_cast<long double>(seconds) + static_cast<long double>(microseconds) / 1000000.0L) /
        86400.0L;
    return static_cast<double>(25569.0L + days);
}

TLogLineParser::TLogLineParser(const TFormatSettings& settings) : FSettings(settings) {}

bool TLogLineParser::Parse(QStringView line, double& date, double& time, double& value) const {
    if (line.size() < 5)
        return false;
    if (line[2] == u'.')
        return ParseFixedWidth(line, Dotted, FSettings, date, time, value);
    if (IsAsciiDigit(line[4]))
        return ParseCommaSeparated(line, FSettings, date, time, value);
    return ParseFixedWidth(line, YearFirst, FSettings, date, time, value);
}

bool ParseLogLine(const QString& line, double& date, double& time, double& value) {
    return TLogLineParser().Parse(line, date, time, value);
}
