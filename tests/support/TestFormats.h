// Date-times and format settings as the formatting and logging tests write them.
#pragma once

#include "SysUtils.h"
#include "formats.h"

#include <QChar>

namespace testformats {

// The date-time of a calendar date and a time of day.
TDateTime At(int y, int mo, int d, int h, int n, int s, int ms = 0);
// The default format settings with these three separators.
TFormatSettings Separators(QChar date, QChar time, QChar decimal);

} // namespace testformats
