#include "textread.h"

#include "Classes.h"
#include "ansi.h"

#include <QStringDecoder>

QString DecodeTextBytes(const QByteArray& bytes) {
    QString text;
    DecodeTextBytes(bytes, text);
    return text;
}

void DecodeTextBytes(QByteArrayView bytes, QString& text) {
    struct TMark {
        QByteArrayView Bytes;
        QStringConverter::Encoding Encoding;
    };
    static const TMark marks[] = {{"\xEF\xBB\xBF", QStringConverter::Utf8},
                                  {"\xFF\xFE", QStringConverter::Utf16LE},
                                  {"\xFE\xFF", QStringConverter::Utf16BE}};
    for (const TMark& mark : marks) {
        if (bytes.startsWith(mark.Bytes)) {
            // Stateless: an incomplete last character becomes U+FFFD instead of vanishing.
            // ConvertInitialBom: the mark is already dropped, so a second one is text.
            QStringDecoder decoder(mark.Encoding, QStringConverter::Flag::Stateless |
                                                      QStringConverter::Flag::ConvertInitialBom);
            DecodeInto(decoder, bytes.sliced(mark.Bytes.size()), text);
            return;
        }
    }
    AnsiToString(bytes, text);
}

QStringList LoadTextFileLines(const QString& fileName, int lockWaitMs) {
    return SplitTextLines(DecodeTextBytes(ReadFileDenyWriters(fileName, lockWaitMs)));
}
