#include "HandleStream.h"
#include "TestDirs.h"
#include "winprocess.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

TEST(HandleStream, ReadWriteSeekSizeOnAFile) {
    const QByteArray path = QFile::encodeName(testdirs::WorkDir() + "/data.bin");
    const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    THandleStream stream(fd);
    EXPECT_EQ(stream.Write("hello world", 11), 11);
    EXPECT_EQ(stream.Position(), 11);
    EXPECT_EQ(stream.Size(), 11);
    stream.SetPosition(0);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    // The 32-bit seek widens its offset with its sign.
    EXPECT_EQ(stream.Seek(std::int32_t{-1}, std::uint16_t{soEnd}), 10);
    stream.SetSize(std::int32_t{4});
    EXPECT_EQ(stream.Size(), 4);
    EXPECT_EQ(stream.Position(), 4);
    close(fd);
}

TEST(HandleStream, FailuresAnswerZeroOrRaise) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    THandleStream reader(r);
    THandleStream writer(w);
    EXPECT_EQ(reader.Write("x", 1), 0); // not open for writing
    EXPECT_EQ(writer.Seek(std::int64_t{0}, soCurrent), -1);
    EXPECT_THROW(writer.SetSize(std::int64_t{0}), EOSError);
    CloseHandle(w);
    char c;
    EXPECT_EQ(reader.Read(&c, 1), 0);
    CloseHandle(r);
    EXPECT_EQ(reader.Read(&c, 1), 0);
}
