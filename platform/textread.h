// Text files read whole, as the string list loads a file: the file is opened for reading with
// other writers kept out, a byte-order mark picks UTF-8 or UTF-16, other text is in the ANSI
// code page, and lines end at CR, LF or CR LF.
#pragma once

#include "SysUtils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// How long a read waits for a writer that holds the file, in milliseconds. A writer
// (TTextFile's appending writer) holds it only while it adds one line.
constexpr int DefaultReadLockWaitMs = 500;

// Every byte of a regular file. While the file is read it holds the file's reader lock, which
// keeps TTextFile's appending writers out (and is kept out by them); other readers are let in.
// A writer that holds the file is waited for up to `lockWaitMs`; after that the read fails
// rather than waiting for ever.
// Raises EInOutError with the system's error code: the open's code (ENOENT, EACCES, ...),
// EWOULDBLOCK when a writer kept the file, EISDIR for a directory, EINVAL for anything else
// that is not a regular file (a pipe or device could block or never end), or the read's code.
QByteArray ReadFileDenyWriters(const QString& fileName, int lockWaitMs = DefaultReadLockWaitMs);
// The same into `bytes`, whose storage is reused: a reader of many files keeps one buffer.
void ReadFileDenyWriters(const QString& fileName, QByteArray& bytes,
                         int lockWaitMs = DefaultReadLockWaitMs);

// Bytes to text: a UTF-8 byte-order mark (EF BB BF) or a UTF-16 one (FF FE little-endian,
// FE FF big-endian) selects that encoding and is dropped; without one the bytes are in the
// ANSI code page. Bytes not valid in the encoding become U+FFFD; nothing fails.
QString DecodeTextBytes(const QByteArray& bytes);
// The same into `text`, whose storage is reused.
void DecodeTextBytes(QByteArrayView bytes, QString& text);

// The lines of a text file read whole (ReadFileDenyWriters, DecodeTextBytes, SplitTextLines).
// Raises as ReadFileDenyWriters.
QStringList LoadTextFileLines(const QString& fileName, int lockWaitMs = DefaultReadLockWaitMs);
