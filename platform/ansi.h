// The system's ANSI code page: the 8-bit character set of the tool's output and of the log
// files. Here it is the locale's character set, UTF-8 in practice.
#pragma once

#include <QByteArray>
#include <QString>

// Bytes in the ANSI code page to text. Bytes that are not valid in it become U+FFFD; nothing
// fails.
QString AnsiToString(const QByteArray& bytes);

// Text to bytes in the ANSI code page. Characters it cannot hold are replaced; nothing fails.
QByteArray StringToAnsi(const QString& text);
