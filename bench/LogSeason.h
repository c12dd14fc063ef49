// Daily SNR logs as the logging program writes them, made up for the plotting benchmarks: one
// file per day, one line a second, CR LF, a dip of a few dB near 11:00 UTC, each file last
// written at noon of its day.
#pragma once

#include <QString>

struct TSeasonShape {
    int Days = 1;
    int FirstSecond = 10 * 3600 + 40 * 60; // 10:40:00
    int LastSecond = 11 * 3600 + 20 * 60;  // 11:20:00, included
    bool Reversed = false;                 // lines in falling time order
    int PredictedDay = -1;                 // the day whose file carries a "PRED" line
};

// Writes the season's files into `folder` (made when missing), from 2018-01-01 on. The same
// shape always gives the same bytes.
void WriteSeason(const QString& folder, const TSeasonShape& shape);
