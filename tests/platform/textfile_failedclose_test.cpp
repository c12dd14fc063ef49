// A close that fails after the line has been written, as a network file system reports a lost
// write-back. This binary replaces the system's close so that such a failure can be injected.
#include "ChildProcesses.h"
#include "TestFiles.h"
#include "textfile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The file whose next close fails, while armed.
QByteArray gFailingPath;
std::atomic<bool> gArmed{false};

} // namespace

// Every close of this program comes here. The descriptor is released whatever is reported, as
// Linux does.
extern "C" int close(int fd) {
    bool fail = false;
    if (gArmed.load()) {
        char target[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        fail = length > 0 && QByteArray(target, length) == gFailingPath && gArmed.exchange(false);
    }
    const long result = ::syscall(SYS_close, fd);
    if (fail && result == 0) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(result);
}

namespace {

using testfiles::Contents;
using testfiles::InOutErrorCode;

TEST(TextFile, AFailedCloseCutsTheLineAwayAndReleasesTheFile) {
    testfiles::WriteContents("day.log", "one\r\n");
    const auto before = proctest::OpenDescriptors();
    TTextFile file("day.log");
    file.Append();
    file.WriteLine("two");
    gFailingPath = QFile::encodeName(QFileInfo("day.log").canonicalFilePath());
    gArmed = true;
    EXPECT_EQ(InOutErrorCode([&] { file.Close(); }), EIO);
    EXPECT_FALSE(gArmed) << "the close was not the file's";
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Contents("day.log"), "one\r\n");
    EXPECT_EQ(proctest::OpenDescriptors(), before);

    // The lock went with the file: the next writer gets in at once.
    TTextFile next("day.log");
    next.LockWaitMs = 0;
    next.Append();
    next.WriteLine("three");
    next.Close();
    EXPECT_EQ(Contents("day.log"), "one\r\nthree\r\n");
}

} // namespace
