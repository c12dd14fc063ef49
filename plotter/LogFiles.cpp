#include "LogFiles.h"

#include "Classes.h"
#include "StringList.h"
#include "findfile.h"
#include "formats.h"

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

QString Field(const QString& line, int position, int width) {
    return line.mid(position - 1, width);
}

// Leading blanks and a sign are allowed, nothing after the digits; anything else is `otherwise`.
int IntegerOr(const QString& text, int otherwise) {
    int value = 0;
    return TryStrToInt(text, value) ? value : otherwise;
}

int IntegerField(const QString& line, int position, int width) {
    return IntegerOr(Field(line, position, width), 0);
}

double FloatOr0(const QString& text) {
    double value = 0;
    return TryStrToFloat(text, value) ? value : 0;
}

QString TrimBlanksAndControls(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start).unicode() <= 32)
        ++start;
    while (end > start && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(start, end - start);
}

void ReplaceFirst(QString& text, QChar from, QChar to) {
    const qsizetype at = text.indexOf(from);
    if (at >= 0)
        text[at] = to;
}

bool IsPredicted(const QString& valueText) {
    QString upper = valueText;
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return upper == u"PRED";
}

bool ParseFixedWidth(const QString& line, const TFixedLayout& at, double& date, double& time,
                     double& value) {
    if (!TryEncodeDate(IntegerField(line, at.Year, 4), IntegerField(line, at.Month, 2),
                       IntegerField(line, at.Day, 2), date))
        return false;
    if (!TryEncodeTime(IntegerField(line, at.Hour, 2), IntegerField(line, at.Minute, 2),
                       IntegerField(line, at.Second, 2), 0, time))
        return false;

    // Files written under another locale carry "." or ","; either stands for the user's
    // decimal separator.
    const QChar decimal = FormatSettings().DecimalSeparator;
    QString valueText = Field(line, at.Value, ValueWidth);
    ReplaceFirst(valueText, u'.', decimal);
    ReplaceFirst(valueText, u',', decimal);
    value = FloatOr0(valueText);

    // A count of seconds at the end gives the time of day as the clock recorded it; one that
    // falls on another day than the line's date is not this line's and is left alone.
    int seconds = 0;
    if (TryStrToInt(TrimBlanksAndControls(Field(line, at.Trailing, TrailingWidth)), seconds)) {
        const TDateTime stamp = EpochToDateTime(static_cast<std::uint32_t>(seconds), 0);
        const double day = std::trunc(stamp);
        if (day == date)
            time = stamp - day;
    }

    if (IsPredicted(valueText))
        value = -99;
    return true;
}

bool ParseCommaSeparated(const QString& line, double& date, double& time, double& value) {
    const QStringList fields = SplitCommaText(line);
    // -1 for a field that is no number: read as unsigned, the last second the count can hold.
    const int seconds = IntegerOr(fields.value(0), -1);
    const TDateTime stamp = EpochToDateTime(static_cast<std::uint32_t>(seconds), 0);
    date = std::trunc(stamp);
    time = stamp - date;
    if (fields.size() < 5)
        return false;
    value = FloatOr0(fields.at(4));
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

bool ParseLogLine(const QString& line, double& date, double& time, double& value) {
    if (line.size() < 5)
        return false;
    if (line.at(2) == u'.')
        return ParseFixedWidth(line, Dotted, date, time, value);
    if (IsAsciiDigit(line.at(4)))
        return ParseCommaSeparated(line, date, time, value);
    return ParseFixedWidth(line, YearFirst, date, time, value);
}
