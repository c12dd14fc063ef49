#include "SnrSample.h"

#include "Classes.h"
#include "ansi.h"
#include "formats.h"

#include <cmath>
#include <limits>

bool FirstAnswerLine(const QByteArray& output, QString& line) {
    const QStringList lines = SplitTextLines(AnsiToString(output));
    if (lines.isEmpty())
        return false;
    line = lines.first();
    return true;
}

float SnrOfAnswerLine(const QString& line) {
    double number = 0;
    if (!TryStrToFloat(line, number))
        return SnrNotANumber;
    const double snr = number / 10;
    // Beyond the single-precision range the conversion would be undefined; such a number is
    // no SNR either.
    if (std::fabs(snr) > std::numeric_limits<float>::max())
        return SnrNotANumber;
    return static_cast<float>(snr);
}

QString SnrReportText(TDateTime sampleTime, float snr) {
    return FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss "), sampleTime) + FormatFixed(snr, 1);
}
