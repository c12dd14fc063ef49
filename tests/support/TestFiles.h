// Files in tests: whole contents read and written, a file or folder made read-only for a while,
// the system error code a file step raises, and the ways a disk can run out while a test writes.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace testfiles {

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray Contents(const QString& path);
// Makes the file's folder when needed and replaces the file with the bytes; a failure fails the
// test.
void WriteContents(const QString& path, const QByteArray& bytes);
// A day of the logging program's log, made with its folder when needed: 10.0 dB at 10:50,
// 10:55, 11:05 and 11:10 and 10 - depth at 11:00 on `date` ("2017/10/05"), then the `extra`
// lines, last written at noon UTC of 2017-10-`stampDay`.
void WriteDayLog(const QString& path, const char* date, double depth, const QByteArray& extra = {},
                 int stampDay = 6);
// Runs body while the file (0444) or folder (0555) has no owner-write bit, then gives it back
// (0644 / 0755).
void WithReadOnly(const QString& path, const std::function<void()>& body);
// The system error code step raises EInOutError with, checking that the message is the system's
// wording of it; 0 when it raises nothing.
int InOutErrorCode(const std::function<void()>& step);

// While it lives, this process may not make a file longer than `bytes`: a write that would cross
// the limit writes what fits and the next one fails with EFBIG (SIGXFSZ is ignored meanwhile).
// Any user may set it.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(long long bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    long long FPreviousLimit;
    void (*FPreviousHandler)(int);
};

// A file system of `kib` KiB (whole pages) in memory, mounted on the new folder `folder` while it
// lives and taken away, with what it holds, afterwards. Only root may mount: Mounted() says
// whether it worked, Why() why not.
class ScopedSmallFileSystem {
public:
    ScopedSmallFileSystem(const QString& folder, int kib);
    ~ScopedSmallFileSystem();
    ScopedSmallFileSystem(const ScopedSmallFileSystem&) = delete;
    ScopedSmallFileSystem& operator=(const ScopedSmallFileSystem&) = delete;

    bool Mounted() const { return FMounted; }
    const QString& Why() const { return FWhy; }

private:
    QByteArray FPath;
    bool FMounted = false;
    QString FWhy;
};

} // namespace testfiles
