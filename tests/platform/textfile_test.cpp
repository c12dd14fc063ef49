#include "ChildProcesses.h"
#include "TestDirs.h"
#include "TestFiles.h"
#include "textfile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testfiles::Contents;
using testfiles::InOutErrorCode;
using testfiles::WriteContents;

TEST(TextFile, CreateKeepsContentAndAppendWritesCrLfLines) {
    TTextFile file("day.log");
    file.Create();
    EXPECT_TRUE(file.IsOpen());
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(QFile::exists("day.log"));
    EXPECT_EQ(Contents("day.log"), "");

    for (const char* line : {"one", "", "three \xc3\xa9"}) {
        file.Append();
        file.WriteLine(line);
        file.Close();
    }
    EXPECT_EQ(Contents("day.log"), "one\r\n\r\nthree \xc3\xa9\r\n");

    // Making a file that is already there must not lose its lines.
    TTextFile again("day.log");
    again.Create();
    again.Close();
    EXPECT_EQ(Contents("day.log"), "one\r\n\r\nthree \xc3\xa9\r\n");
}

TEST(TextFile, ALastLineWithoutItsEndIsJoined) {
    WriteContents("day.log", "2018/10/04 10:55:00 12.3");
    TTextFile file("day.log");
    file.Append();
    file.WriteLine("2018/10/04 10:55:05 12.4");
    file.Close();
    EXPECT_EQ(Contents("day.log"), "2018/10/04 10:55:00 12.32018/10/04 10:55:05 12.4\r\n");
}

TEST(TextFile, EachStepRaisesWithTheSystemsCode) {
    QDir().mkdir("folder");
    WriteContents("present", "x");
    EXPECT_EQ(InOutErrorCode([] { TTextFile("absent").Append(); }), ENOENT);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("no-such-folder/day.log").Create(); }), ENOENT);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("folder").Create(); }), EISDIR);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("folder").Append(); }), EISDIR);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("present").WriteLine("x"); }), EBADF);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("present").Close(); }), EBADF);
    EXPECT_EQ(Contents("present"), "x");
    EXPECT_FALSE(QFile::exists("absent"));
}

TEST(TextFile, AFolderThatIsGoneRefusesTheFile) {
    // Works as root too: no permission bits are involved.
    ASSERT_EQ(::rmdir(QFile::encodeName(testdirs::WorkDir()).constData()), 0);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("day.log").Create(); }), ENOENT);
}

TEST(TextFile, AReadOnlyFolderRefusesTheFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QDir().mkdir("locked");
    QFile::setPermissions("locked", QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(InOutErrorCode([] { TTextFile("locked/day.log").Create(); }), EACCES);
}

TEST(TextFile, OnlyARegularFileIsWrittenAndNothingBlocks) {
    const auto before = proctest::OpenDescriptors();
    // A pipe with a reader, so that even a writer that forgot to check would not block here, and
    // the reader shows whether anything went in.
    ASSERT_EQ(::mkfifo("pipe.log", 0644), 0);
    const int reader = ::open("pipe.log", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(QFile::link("/dev/null", "null.log"));
    ASSERT_TRUE(QFile::link("/dev/full", "full.log"));
    for (const char* name : {"pipe.log", "null.log", "full.log"}) {
        SCOPED_TRACE(name);
        TTextFile file(name);
        EXPECT_EQ(InOutErrorCode([&] { file.Append(); }), EINVAL);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(InOutErrorCode([&] { file.Create(); }), EINVAL);
        EXPECT_FALSE(file.IsOpen());
    }
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "something was written into the pipe";
    ::close(reader);
    EXPECT_EQ(proctest::OpenDescriptors(), before);
}

TEST(TextFile, ALineThatCannotBeWrittenWholeIsCutAwayAgain) {
    WriteContents("day.log", "one\r\n");
    TTextFile file("day.log");
    file.Append();
    {
        // Room for three more bytes: "two" goes out, then the line end fails.
        testfiles::ScopedFileSizeLimit limit(8);
        EXPECT_EQ(InOutErrorCode([&] { file.WriteLine("two"); }), EFBIG);
        EXPECT_EQ(Contents("day.log"), "one\r\n");
    }
    // The file stays open, and the next line starts where the failed one did.
    file.WriteLine("three");
    file.Close();
    EXPECT_EQ(Contents("day.log"), "one\r\nthree\r\n");
}

TEST(TextFile, ASecondWriterIsRefusedWhileReadersGetIn) {
    TTextFile first("day.log");
    first.Create();
    first.Append();
    first.WriteLine("a");

    TTextFile second("day.log");
    second.LockWaitMs = 0;
    EXPECT_EQ(InOutErrorCode([&] { second.Append(); }), EWOULDBLOCK);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(Contents("day.log"), "a\r\n");

    first.Close();
    second.Append();
    second.WriteLine("b");
    // Until it is closed, the lock is the second writer's.
    TTextFile third("day.log");
    third.LockWaitMs = 20;
    EXPECT_EQ(InOutErrorCode([&] { third.Append(); }), EWOULDBLOCK);
    second.Close();
    EXPECT_EQ(Contents("day.log"), "a\r\nb\r\n");
}

} // namespace
