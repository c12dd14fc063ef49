#include "TestFormats.h"

namespace testformats {

TDateTime At(int y, int mo, int d, int h, int n, int s, int ms) {
    return EncodeDate(y, mo, d) + EncodeTime(h, n, s, ms);
}

TFormatSettings Separators(QChar date, QChar time, QChar decimal) {
    TFormatSettings s;
    s.DateSeparator = date;
    s.TimeSeparator = time;
    s.DecimalSeparator = decimal;
    return s;
}

} // namespace testformats
