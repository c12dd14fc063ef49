#include "TestFiles.h"

#include "SysUtils.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testfiles {

QByteArray Contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void WriteContents(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void WriteDayLog(const QString& path, const char* date, double depth, const QByteArray& extra,
                 int stampDay) {
    QByteArray text;
    for (const char* time : {"10:50:00", "10:55:00", "11:00:00", "11:05:00", "11:10:00"}) {
        const double value = QByteArray(time) == "11:00:00" ? 10 - depth : 10;
        text += QByteArray(date) + " " + time + " " + QByteArray::number(value, 'f', 1) + "\r\n";
    }
    WriteContents(path, text + extra);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2017, 10, stampDay), QTime(12, 0), Qt::UTC),
                                 QFileDevice::FileModificationTime));
}

void WithReadOnly(const QString& path, const std::function<void()>& body) {
    SCOPED_TRACE(path.toStdString());
    const bool folder = QFileInfo(path).isDir();
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(chmod(name.constData(), folder ? 0555 : 0444), 0);
    body();
    ASSERT_EQ(chmod(name.constData(), folder ? 0755 : 0644), 0);
}

int InOutErrorCode(const std::function<void()>& step) {
    try {
        step();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), SysErrorMessage(e.ErrorCode));
        return e.ErrorCode;
    }
    return 0;
}

ScopedFileSizeLimit::ScopedFileSizeLimit(long long bytes) {
    rlimit limit{};
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    FPreviousLimit = static_cast<long long>(limit.rlim_cur);
    // Without this the first write past the limit would end the test process.
    FPreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0) << std::strerror(errno);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(FPreviousLimit);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0) << std::strerror(errno);
    std::signal(SIGXFSZ, FPreviousHandler);
}

ScopedSmallFileSystem::ScopedSmallFileSystem(const QString& folder, int kib)
    : FPath(QFile::encodeName(QDir(folder).absolutePath())) {
    if (!QDir().mkpath(folder)) {
        FWhy = QStringLiteral("cannot make ") + folder;
        return;
    }
    if (::geteuid() != 0) {
        FWhy = QStringLiteral("only root can mount a small file system");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    if (::mount("tidelog-test", FPath.constData(), "tmpfs", 0, options.constData()) != 0) {
        FWhy = QStringLiteral("cannot mount a small file system here: ") +
               QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    FMounted = true;
}

ScopedSmallFileSystem::~ScopedSmallFileSystem() {
    // Detached, so a descriptor or a working directory still inside cannot keep it mounted.
    if (FMounted) {
        EXPECT_EQ(::umount2(FPath.constData(), MNT_DETACH), 0) << std::strerror(errno);
    }
}

} // namespace testfiles
