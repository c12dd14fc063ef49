#include "ansi.h"

namespace {

// Qt's local 8-bit encoding is the locale's character set (UTF-8 on every system we run on),
// which is what the programs' 8-bit text is written in.
QStringDecoder AnsiDecoder() {
    return QStringDecoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
}

} // namespace

QString AnsiToString(const QByteArray& bytes) {
    QString text;
    AnsiToString(bytes, text);
    return text;
}

void AnsiToString(QByteArrayView bytes, QString& text) {
    QStringDecoder decoder = AnsiDecoder();
    DecodeInto(decoder, bytes, text);
}

QByteArray StringToAnsi(const QString& text) {
    return text.toLocal8Bit();
}

void DecodeInto(QStringDecoder& decoder, QByteArrayView bytes, QString& text) {
    // resize keeps the storage when it is large enough; the decoder says how much it may need.
    text.resize(decoder.requiredSpace(bytes.size()));
    const QChar* end = decoder.appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
}
