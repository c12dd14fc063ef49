#include "ansi.h"
#include "textfile.h"
#include "textread.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

void WriteRaw(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

int ReadErrorCode(const QString& name, int lockWaitMs) {
    try {
        ReadFileDenyWriters(name, lockWaitMs);
    } catch (const EInOutError& e) {
        return e.ErrorCode;
    }
    return 0;
}

TEST(TextRead, ByteOrderMarksPickTheEncodingAndLinesEndAnyWay) {
    struct Row {
        QByteArray bytes;
        QStringList lines;
    } const rows[] = {
        {"a\r\nb\nc\rcaf\xc3\xa9", {"a", "b", "c", "caf\u00e9"}},
        {QByteArray::fromHex("efbbbf 636166c3a9 0d0a 78"), {"caf\u00e9", "x"}},
        {QByteArray::fromHex("fffe 3100 2e00 e900 0d00 0a00 3200"), {"1.\u00e9", "2"}},
        {QByteArray::fromHex("feff 0031 002e 00e9 000d 000a 0032"), {"1.\u00e9", "2"}},
        {QByteArray::fromHex("fffe 6100 62"), {"a\ufffd"}},
        {QByteArray::fromHex("efbbbf"), {}},
    };
    for (const Row& row : rows) {
        WriteRaw("day.log", row.bytes);
        EXPECT_EQ(LoadTextFileLines("day.log"), row.lines) << row.bytes.toHex().toStdString();
    }
}

TEST(TextRead, AWriterHoldingTheFileKeepsTheReaderOutForABoundedTime) {
    WriteRaw("day.log", "one\r\n");
    TTextFile writer("day.log");
    writer.Append();
    EXPECT_EQ(ReadErrorCode("day.log", 0), EWOULDBLOCK);
    EXPECT_EQ(ReadErrorCode("day.log", 30), EWOULDBLOCK);
    writer.WriteLine("two");
    writer.Close();
    EXPECT_EQ(ReadFileDenyWriters("day.log", 0), "one\r\ntwo\r\n");
}

TEST(TextRead, WhatCannotBeReadRaisesWithTheSystemsCode) {
    QDir().mkdir("folder");
    ASSERT_EQ(::mkfifo("pipe.log", 0600), 0);
    EXPECT_EQ(ReadErrorCode("absent.log", 0), ENOENT);
    EXPECT_EQ(ReadErrorCode("folder", 0), EISDIR);
    // A pipe would wait for a writer, or never end.
    EXPECT_EQ(ReadErrorCode("pipe.log", 0), EINVAL);
}

TEST(TextRead, ReusedBuffersHoldExactlyTheLatestFile) {
    // A large file, then smaller ones: what is left of the earlier content in the buffers'
    // storage must never show.
    QByteArray big(200000, 'x');
    big[199999] = '\n';
    const QByteArray rows[] = {big, "12.3\r\n", "", QByteArray::fromHex("fffe 3100 3200"),
                               "caf\xc3\xa9\xff"};
    QByteArray bytes;
    QString text;
    for (const QByteArray& row : rows) {
        WriteRaw("day.log", row);
        ReadFileDenyWriters("day.log", bytes, 0);
        EXPECT_EQ(bytes, row);
        DecodeTextBytes(bytes, text);
        EXPECT_EQ(text, DecodeTextBytes(row)) << row.left(16).toHex().toStdString();
    }
    EXPECT_EQ(text, QString::fromUtf8("caf\u00e9\ufffd"));
}

TEST(TextRead, AnsiTextDecodesAsTheLocalEightBitEncoding) {
    // Valid, invalid, cut-off and overlong sequences, a NUL and a byte-order mark inside.
    const QByteArray rows[] = {"",
                               "12.3",
                               "caf\xc3\xa9",
                               "\xc3",
                               "a\xe2\x82",
                               "\xc0\xaf",
                               QByteArray("a\0b", 3),
                               "x\xef\xbb\xbfy",
                               "\xf0\x9f\x98\x80\xff"};
    QString reused(1000, u'z');
    for (const QByteArray& row : rows) {
        EXPECT_EQ(AnsiToString(row), QString::fromLocal8Bit(row)) << row.toHex().toStdString();
        AnsiToString(row, reused);
        EXPECT_EQ(reused, QString::fromLocal8Bit(row)) << row.toHex().toStdString();
    }
}

} // namespace
