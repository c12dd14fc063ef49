// The system's ANSI code page: the 8-bit character set of the tool's output and of the log
// files. Here it is the locale's character set, UTF-8 in practice.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// Bytes in the ANSI code page to text. Bytes that are not valid in it become U+FFFD; nothing
// fails.
QString AnsiToString(const QByteArray& bytes);
// The same into `text`, whose storage is reused: a reader of many files keeps one buffer.
void AnsiToString(QByteArrayView bytes, QString& text);

// Text to bytes in the ANSI code page. Characters it cannot hold are replaced; nothing fails.
QByteArray StringToAnsi(const QString& text);

// What `decoder` makes of `bytes`, written over `text` in its own storage.
void DecodeInto(QStringDecoder& decoder, QByteArrayView bytes, QString& text);
