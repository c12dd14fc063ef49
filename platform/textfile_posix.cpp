#include "textfile.h"

#include "filelock.h"

#include "SysUtils.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseInOutError(int code) {
    throw EInOutError(SysErrorMessage(code), code);
}

// EISDIR for a folder, EINVAL for anything else that is not a regular file, 0 for a regular one.
int RefusalOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return S_ISREG(st.st_mode) ? 0 : EINVAL;
}

// The regular file opened for writing with the given flags; raises EInOutError when it cannot be.
// A pipe, a device or a socket under the file's name is refused: opening a pipe for writing
// blocks until someone reads it, and writing to a device loses the line or worse.
int OpenForWriting(const QString& fileName, int flags) {
    const QByteArray path = QFile::encodeName(fileName);
    // Looked at first, so that a special file is usually not even opened.
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        if (const int refusal = RefusalOf(st))
            RaiseInOutError(refusal);
    }
    // Without blocking, for the one that takes the place of the file between the look and the
    // open; checked again on the descriptor itself.
    int fd = -1;
    do {
        fd = ::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        RaiseInOutError(errno);
    int error = ::fstat(fd, &st) != 0 ? errno : RefusalOf(st);
    if (error == 0) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
            error = errno;
    }
    if (error != 0) {
        ::close(fd);
        RaiseInOutError(error);
    }
    return fd;
}

// The size of the open file; raises EInOutError.
off_t SizeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseInOutError(errno);
    return st.st_size;
}

// Cuts the file back to `size`, taking away what a failed step left of its lines. A failure here
// cannot be helped; the step's own error is the one reported.
void CutBack(int fd, off_t size) {
    while (::ftruncate(fd, size) != 0 && errno == EINTR) {
    }
}

} // namespace

TTextFile::TTextFile(const QString& fileName) : FFileName(fileName) {}

TTextFile::~TTextFile() {
    if (FHandle >= 0)
        ::close(FHandle);
}

void TTextFile::Create() {
    if (IsOpen())
        Close();
    // No O_TRUNC: when another program made the file a moment ago, its lines stay.
    FHandle = OpenForWriting(FFileName, O_WRONLY | O_CREAT | O_CLOEXEC);
    FAppendedFrom = -1;
}

void TTextFile::Append() {
    if (IsOpen())
        Close();
    const int fd = OpenForWriting(FFileName, O_WRONLY | O_APPEND | O_CLOEXEC);
    int error = 0;
    if (!LockFileWithin(fd, true, LockWaitMs, error)) {
        ::close(fd);
        RaiseInOutError(error);
    }
    // Read under the lock: no writer of this class can add to the file until it is closed.
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        ::close(fd);
        RaiseInOutError(error);
    }
    FHandle = fd;
    FAppendedFrom = st.st_size;
}

void TTextFile::WriteLine(const QByteArray& bytes) {
    if (!IsOpen())
        RaiseInOutError(EBADF);
    // Where this line starts, so that a line that cannot be written whole (a full disk lets part
    // of it through) is cut away again and the next line does not start inside it.
    const off_t lineStart = FAppendedFrom >= 0 ? SizeOf(FHandle) : -1;
    // One buffer, so the line and its end go out in one write whenever the system allows.
    const QByteArray line = bytes + "\r\n";
    const char* data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(FHandle, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            if (lineStart >= 0)
                CutBack(FHandle, lineStart);
            RaiseInOutError(error);
        }
        data += written;
        left -= written;
    }
}

void TTextFile::Close() {
    if (!IsOpen())
        RaiseInOutError(EBADF);
    const int fd = FHandle;
    FHandle = -1;
    // A close can report that written lines did not reach the disk (a network file system writes
    // back then). A second descriptor keeps the file and its lock, so the lines written since
    // Append can be cut away before another writer gets in.
    const int keep = FAppendedFrom >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    // Linux releases the descriptor even when close fails, and a retry could close a descriptor
    // that another thread has just been given: close once, report what it says.
    const int error = ::close(fd) != 0 && errno != EINTR ? errno : 0;
    if (keep >= 0) {
        if (error != 0)
            CutBack(keep, FAppendedFrom);
        // The lines are in the file once the first close has gone through; what this one says
        // changes nothing.
        ::close(keep);
    }
    FAppendedFrom = -1;
    if (error != 0)
        RaiseInOutError(error);
}
