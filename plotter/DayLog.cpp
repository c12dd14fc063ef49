#include "DayLog.h"

#include "Classes.h"
#include "textread.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <new>

namespace {

constexpr double PredictedValue = -99;
// A reader's buffers grow to the largest file it has read; past this they are given back after
// the file, so one odd large file does not keep its memory for the rest of the run.
constexpr qsizetype KeptBufferBytes = 8 << 20;

// A line as the logging program writes it is 26 characters with its line end.
constexpr qsizetype ShortestUsualLine = 24;

void ParseInto(QStringView text, const TLogLineParser& parser, TDayLog& log) {
    // Room for every line at once, so the samples are not moved again and again as they grow.
    log.Samples.reserve(static_cast<std::size_t>(text.size() / ShortestUsualLine + 1));
    ForEachTextLine(text, [&](QStringView line) {
        double date = 0, time = 0, value = 0;
        if (!parser.Parse(line, date, time, value))
            return;
        if (log.Runs.empty() || date != log.Runs.back().Date)
            log.Runs.push_back({date, log.Samples.size(), 0});
        if (value > 0 || value == PredictedValue) {
            log.Samples.push_back({time, value});
            ++log.Runs.back().Count;
        }
    });
}

} // namespace

TDayLog ReadDayLog(const QString& path, const TLogLineParser& parser, TDayLogBuffers& buffers) {
    // No look at the path first: the reader refuses what is missing, a folder or no regular
    // file, with the same outcome, and one look is enough.
    TDayLog log;
    try {
        ReadFileDenyWriters(path, buffers.Bytes);
        DecodeTextBytes(buffers.Bytes, buffers.Text);
        log.Loaded = true;
        ParseInto(buffers.Text, parser, log);
    } catch (const Exception&) {
        // A file that cannot be read (held by a writer, gone, unreadable) has nothing to load.
    } catch (const std::bad_alloc&) {
        // What was parsed before stays, as a load keeps what it did before a failure.
    }
    if (buffers.Bytes.capacity() > KeptBufferBytes)
        buffers.Bytes = QByteArray();
    if (buffers.Text.capacity() * 2 > KeptBufferBytes)
        buffers.Text = QString();
    return log;
}

TDayLogReader::TDayLogReader(const QStringList& paths, const TLogLineParser& parser)
    : FPaths(paths), FParser(parser) {
    // Enough reads in flight to keep every worker busy while the window takes the results.
    const int ahead = std::max(2, 2 * QThreadPool::globalInstance()->maxThreadCount());
    while (static_cast<int>(FPending.size()) < ahead && FNextPath < FPaths.size())
        StartNext();
}

TDayLogReader::~TDayLogReader() {
    for (QFuture<TDayLog>& read : FPending)
        read.waitForFinished();
}

void TDayLogReader::StartNext() {
    FPending.push_back(QtConcurrent::run([path = FPaths.at(FNextPath), parser = FParser] {
        // One set of buffers per worker thread, reused by every file it reads.
        thread_local TDayLogBuffers buffers;
        return ReadDayLog(path, parser, buffers);
    }));
    ++FNextPath;
}

TDayLog TDayLogReader::Next() {
    QFuture<TDayLog> read = std::move(FPending.front());
    FPending.pop_front();
    if (FNextPath < FPaths.size())
        StartNext();
    return read.takeResult();
}
