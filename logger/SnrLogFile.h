// The daily log files of the logging program: one text file per UTC day in the current
// directory, one line per accepted sample, each line ending in CR LF, bytes in the ANSI code
// page. The program only ever creates these files and appends to them.
#pragma once

#include "SysUtils.h"

#include <QString>

// "snr-log-" + the date of `namingTime` as yyyy-mm-dd + ".log". The date's separators are always
// hyphens, whatever the user's date separator; there is no directory part.
QString SnrLogFileName(TDateTime namingTime);

// Adds `line` and CR LF to the file that `namingTime` names, in the current directory: the file
// is made when it is absent, then opened for appending, written and closed. `namingTime` is the
// UTC reading taken before the sample, not the one written on the line, so a sample that
// crosses midnight goes to the earlier day's file.
// Raises EInOutError (with the system's error code) at the first step that fails; the steps
// after it do not run, and the file is never left open. Lines already in the file stay, and a
// line whose write or close fails is taken out again, so the file is as it was before. A name
// taken by anything but a regular file (a folder, a pipe, a device) is refused, without waiting.
void AddSnrLogLine(TDateTime namingTime, const QString& line);
