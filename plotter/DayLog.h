// One log file read for the day-series loader, and a reader that reads the files of a rebuild
// ahead on worker threads while the window builds the series from the ones already read.
//
// Reading a file (its bytes, their decoding and the parsing of its lines) is the heavy part of
// a rebuild and needs nothing of the window, so it may run anywhere; what is built from it
// (series, dips, the chart) stays on the GUI thread.
#pragma once

#include "LogFiles.h"

#include <QByteArray>
#include <QFuture>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <vector>

// One accepted line the loader can use: a point (value above 0) or a predicted-time line (-99).
// Other accepted lines only count for the run of dates below.
struct TLogSample {
    double Time;  // time of day
    double Value; // dB, or -99
};

// The accepted lines of one date in a row of the file; a new run starts at each change of date.
struct TLogDateRun {
    double Date;
    std::size_t First; // its samples: Samples[First] .. Samples[First + Count - 1]
    std::size_t Count;
};

struct TDayLog {
    // False when there is no such file (a directory does not count) or it could not be read:
    // there is nothing to load then.
    bool Loaded = false;
    std::vector<TLogDateRun> Runs;
    std::vector<TLogSample> Samples;
};

// Storage a reader keeps from one file to the next.
struct TDayLogBuffers {
    QByteArray Bytes;
    QString Text;
};

// Reads one log file whole (other writers kept out; a byte-order mark or the ANSI code page)
// and parses every line with `parser`. Never raises.
TDayLog ReadDayLog(const QString& path, const TLogLineParser& parser, TDayLogBuffers& buffers);

// Reads the given files in their order, a few ahead of the one asked for, on Qt's global
// thread pool. Next() hands them out in the same order. Files are read when the reader gets
// to them, so one that changes before that is read as it is then.
class TDayLogReader {
public:
    TDayLogReader(const QStringList& paths, const TLogLineParser& parser);
    // Waits for the reads still running: they use nothing of the reader, but nothing should
    // outlive the rebuild that asked for it.
    ~TDayLogReader();
    TDayLogReader(const TDayLogReader&) = delete;
    TDayLogReader& operator=(const TDayLogReader&) = delete;

    bool AtEnd() const { return FPending.empty(); }
    // The next file's content; waits until it has been read. Not to be called AtEnd().
    TDayLog Next();

private:
    void StartNext();

    QStringList FPaths;
    qsizetype FNextPath = 0;
    TLogLineParser FParser;
    std::deque<QFuture<TDayLog>> FPending;
};
