#include "textread.h"

#include "filelock.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseInOutError(int code) {
    throw EInOutError(SysErrorMessage(code), code);
}

class TDescriptor {
public:
    explicit TDescriptor(int fd) : FFd(fd) {}
    ~TDescriptor() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Fd() const { return FFd; }

private:
    int FFd;
};

} // namespace

QByteArray ReadFileDenyWriters(const QString& fileName, int lockWaitMs) {
    QByteArray bytes;
    ReadFileDenyWriters(fileName, bytes, lockWaitMs);
    return bytes;
}

void ReadFileDenyWriters(const QString& fileName, QByteArray& bytes, int lockWaitMs) {
    // truncate, not clear: clear would give the storage back.
    bytes.truncate(0);
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK: a pipe named like a log file must not hold the open until a writer comes.
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        RaiseInOutError(errno);
    const TDescriptor file(fd);

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseInOutError(errno);
    if (S_ISDIR(st.st_mode))
        RaiseInOutError(EISDIR);
    if (!S_ISREG(st.st_mode))
        RaiseInOutError(EINVAL);

    int error = 0;
    if (!LockFileWithin(fd, false, lockWaitMs, error))
        RaiseInOutError(error);

    // Read to the end rather than to the size seen before the lock: a writer may have added a
    // line in between. Room for one byte more than the size, so the end is seen without a
    // second growth.
    qsizetype used = 0;
    bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() + std::max<qsizetype>(bytes.size() / 2, 65536));
        const ssize_t got =
            ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            bytes.truncate(0);
            RaiseInOutError(errno);
        }
        if (got == 0)
            break;
        used += got;
    }
    bytes.truncate(used);
    // Closing the descriptor releases the lock.
}
