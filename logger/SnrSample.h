// One sample of the receiver tool's answer: the first line of what it printed, taken as the SNR
// in tenths of a dB, and the report line that shows it and goes into the log file.
#pragma once

#include "SysUtils.h"

#include <QByteArray>
#include <QString>

// The value of an answer line that is no number.
constexpr float SnrNotANumber = -99.9f;

// The first line of the tool's output (ANSI code page bytes; lines end at CR, LF or CR LF, and
// a last line without an end counts). False when the output has no line at all, that is, when
// it is empty.
bool FirstAnswerLine(const QByteArray& output, QString& line);

// The SNR in dB that the answer line gives: the line read as a number with the user's decimal
// separator (blanks around it, sign, digits, decimal separator, exponent), divided by 10, as a
// single-precision value. A line that is no number, and a number that a single-precision value
// cannot hold, give SnrNotANumber. Negative results are for the caller to drop.
float SnrOfAnswerLine(const QString& line);

// The report line "yyyy/mm/dd hh:nn:ss " + the SNR with one decimal, using the user's date, time
// and decimal separators: with "/", ":" and "." it reads like 2018/10/04 10:55:00 12.3.
QString SnrReportText(TDateTime sampleTime, float snr);
