// Text files written a line at a time: create, open for appending, write a line ending in
// CR LF, close. Every step is checked and a failure raises EInOutError carrying the system's
// error code and the system's wording of it (SysErrorMessage).
//
// Only a regular file is written: a folder is refused with EISDIR, a pipe, device or socket
// under the name with EINVAL, and no step blocks on one (a pipe nobody reads would otherwise
// hold the open for ever).
//
// While the file is open for appending it holds the file's writer lock: readers are let in,
// another writer that asks for the lock waits up to LockWaitMs for it and then fails with the
// code EWOULDBLOCK. The lock is advisory: it keeps out writers that use this class, nothing else.
#pragma once

#include "SysUtils.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

class TTextFile {
public:
    explicit TTextFile(const QString& fileName);
    // Closes the file if it is still open; a failure of that close is not reported.
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    const QString& FileName() const { return FFileName; }
    bool IsOpen() const { return FHandle >= 0; }

    // Makes the file when it is absent, empty; a file that exists keeps its content. Leaves it
    // open (without the writer lock) for Close. Raises EInOutError.
    void Create();
    // Opens the existing file for appending and takes the writer lock. Raises EInOutError when
    // the file is absent or cannot be opened for writing, or the lock stays taken. A file still
    // open from an earlier step is closed first.
    void Append();
    // Writes the bytes and CR LF at the end of the file. Raises EInOutError (the file stays
    // open; Close or the destructor closes it). In a file opened by Append, a line that cannot
    // be written whole (a full disk takes part of it) is cut away again first, so the file ends
    // where it ended before the line.
    void WriteLine(const QByteArray& bytes);
    // Closes the file and releases the lock. The handle is released even when the system
    // reports a failure, which then raises EInOutError; in a file opened by Append, the lines
    // written since are cut away first, while the lock is still held. Closing a file that is
    // not open raises EInOutError with EBADF.
    void Close();

    // How long Append waits for another writer's lock before it fails, in milliseconds.
    int LockWaitMs = 500;

private:
    QString FFileName;
    int FHandle = -1;
    off_t FAppendedFrom = -1; // the file's size when Append opened it; -1 when not appending
};
