#include "ansi.h"

// Qt's local 8-bit encoding is the locale's character set (UTF-8 on every system we run on),
// which is what the programs' 8-bit text is written in.
QString AnsiToString(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

QByteArray StringToAnsi(const QString& text) {
    return text.toLocal8Bit();
}
