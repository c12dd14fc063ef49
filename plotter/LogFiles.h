// The plotting program's file and time operations: listing the log files that match a mask,
// their last-write times, seconds since 1970 as date-time values, and the parsing of one log
// line. None of them raises or reports anything. Every time here is UTC.
#pragma once

#include "SysUtils.h"
#include "formats.h"

#include <QString>

#include <cstdint>

class TStringList;

// Appends to `list` one path for every directory entry that matches `mask` (findfile.h gives
// the mask rules): the mask's directory part (ExtractFilePath) followed by the entry's name,
// in the order the file system gives them. Entries of every kind match, directories and hidden
// ones included. Appends nothing when nothing matches or the directory does not exist. The
// list's own rules (sorting, duplicates) decide where each path goes; should the list refuse a
// path (dupError), its EStringListError reaches the caller and the search is ended.
void ListFiles(const QString& mask, TStringList& list);

// The last-write time of the first entry that matches `path`, in UTC, to the millisecond; 0
// when nothing matches or the entry is a directory.
TDateTime FileStampOf(const QString& path);

// 25569 (1970-01-01) + (seconds + microseconds / 1000000) / 86400, computed in extended
// precision. The largest count of seconds, 4294967295, is 2106-02-07 06:28:15.
TDateTime EpochToDateTime(std::uint32_t seconds, std::uint32_t microseconds);

// Reads one log line. Accepted lines give the date (no fraction), the time of day (0 <= time
// < 1) and the value (the SNR in dB; -99 for a predicted-time line), and answer true. On a
// rejected line (false) the three outputs may hold partial results. The forms read:
// - year-first, as the logging program writes it: "yyyy/mm/dd hh:nn:ss v.v"
// - dotted, day first: "dd.mm.yyyy hh:nn:ss" with the value from position 24
// - either of them with "PRED" (any case) as the value: the predicted-time line
// - either of them followed by a count of seconds since 1970 from position 25 (dotted: 28);
//   when that count falls on the line's date it gives the time of day
// - comma-separated: seconds since 1970, three ignored fields, the value
// The separators between the date and time fields are not checked. A value that is not a
// number reads as 0. The value is read with the user's decimal separator; in the fixed-width
// forms a "." or "," stands for it too.
bool ParseLogLine(const QString& line, double& date, double& time, double& value);

// ParseLogLine with the locale's formats taken once, when the parser is made (the current
// ones unless given others), for readers of many lines. It holds no other state, so one
// parser may read on several threads at once.
class TLogLineParser {
public:
    explicit TLogLineParser(const TFormatSettings& settings = FormatSettings());
    bool Parse(QStringView line, double& date, double& time, double& value) const;

private:
    TFormatSettings FSettings;
};
