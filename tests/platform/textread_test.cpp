#include "StringList.h"
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
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n\r\n", {"a", ""}},
        {"caf\xc3\xa9\r\n", {"caf\u00e9"}},
        {"\xEF\xBB\xBF"
         "caf\xc3\xa9\r\nx",
         {"caf\u00e9", "x"}},
        {QByteArray("\xFF\xFE"
                    "1\0.\0\xe9\0\r\0\n\0"
                    "2\0",
                    14),
         {"1.\u00e9", "2"}},
        {QByteArray("\xFE\xFF\0"
                    "1\0.\0\xe9\0\r\0\n\0"
                    "2",
                    14),
         {"1.\u00e9", "2"}},
        {QByteArray("\xFF\xFE"
                    "a\0b",
                    5),
         {"a\ufffd"}},
        {"\xEF\xBB\xBF", {}},
        {"", {}},
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

    TStringList list;
    list.SetSorted(true);
    list.Add("left over");
    EXPECT_THROW(list.LoadFromFile("absent.log"), EInOutError);
    EXPECT_EQ(list.Count(), 0);
    WriteRaw("day.log", "b\r\na\r\nb\r\n");
    list.LoadFromFile("day.log");
    EXPECT_EQ(list.ToStringList(), (QStringList{"a", "b"}));
}

} // namespace
