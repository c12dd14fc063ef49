#include "winprocess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr HANDLE CurrentProcessPseudoHandle = -1;

BOOL FailWith(int error) {
    errno = error;
    return 0;
}

// Our descriptors never take 0-2, even when the program runs with a standard handle closed:
// wiring a child's standard handles must not clobber one of them. The descriptor must be
// close-on-exec (the moved one is).
int AboveStandard(int fd) {
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
}

// A handle value that can be a descriptor at all.
bool IsDescriptorValue(HANDLE handle) {
    return handle >= 0 && handle <= INT_MAX;
}

// A close-on-exec pipe with both ends above the standard descriptors. False when it cannot be
// made: nothing is left open and errno tells why.
bool PipeAboveStandard(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    fds[0] = AboveStandard(fds[0]);
    fds[1] = AboveStandard(fds[1]);
    if (fds[0] >= 0 && fds[1] >= 0)
        return true;
    const int error = errno;
    for (int i = 0; i < 2; ++i)
        if (fds[i] >= 0)
            close(fds[i]);
    errno = error;
    return false;
}

// Blocks until the child has ended and collects it.
void ReapNow(pid_t pid) {
    while (waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
    }
}

// What the process services know of one child. Shared by its process handle, its thread handle
// and their duplicates; the reaper holds it once the last handle is closed before the child ends.
struct ProcessRecord {
    pid_t pid = 0;
    int pidfd = -1; // readable once the child has ended; -1 where the system has no pidfds
    int handles = 0;
    bool ended = false; // reaped; exitCode is final
    DWORD exitCode = STILL_ACTIVE;
    bool terminated = false;
    DWORD terminateCode = 0;
    DWORD suspendCount = 0;

    ProcessRecord() = default;
    ProcessRecord(const ProcessRecord&) = delete;
    ProcessRecord& operator=(const ProcessRecord&) = delete;
    ~ProcessRecord() {
        if (pidfd >= 0)
            close(pidfd);
    }
};

using RecordPtr = std::shared_ptr<ProcessRecord>;

// Never destroyed: the reaper thread may still run while static objects are torn down.
struct ProcessTable {
    std::mutex mutex;
    std::unordered_map<HANDLE, RecordPtr> handles;
    std::vector<RecordPtr> orphans; // ended handles closed, child still running
    bool reaperRunning = false;
};

ProcessTable& Table() {
    static ProcessTable* table = new ProcessTable;
    return *table;
}

RecordPtr FindRecord(HANDLE handle) {
    auto& table = Table();
    const auto it = table.handles.find(handle);
    return it == table.handles.end() ? nullptr : it->second;
}

// Collects the child's end without blocking; true once it has ended. Table mutex held.
bool TryReap(ProcessRecord& record) {
    if (record.ended)
        return true;
    siginfo_t info{};
    int result;
    do {
        result = waitid(P_PID, static_cast<id_t>(record.pid), &info, WEXITED | WNOHANG);
    } while (result == -1 && errno == EINTR);
    if (result == -1) {
        if (errno != ECHILD)
            return false;
        // Someone else collected it (a wait for any child elsewhere): it has ended, the code
        // is lost.
        record.ended = true;
        record.exitCode = 0xFFFFFFFF;
        return true;
    }
    if (info.si_pid != record.pid)
        return false;
    record.ended = true;
    if (info.si_code == CLD_EXITED)
        record.exitCode = static_cast<DWORD>(info.si_status);
    else if (record.terminated && info.si_status == SIGKILL)
        record.exitCode = record.terminateCode;
    else
        record.exitCode = SignalExitCodeBase + static_cast<DWORD>(info.si_status);
    return true;
}

// The record of a child that has not ended yet; none, with errno EBADF for a handle that is no
// process or thread and ESRCH for a child that has ended. Table mutex held.
RecordPtr FindRunningRecord(HANDLE handle) {
    RecordPtr record = FindRecord(handle);
    if (!record) {
        errno = EBADF;
        return nullptr;
    }
    if (TryReap(*record)) {
        errno = ESRCH;
        return nullptr;
    }
    return record;
}

void ReaperLoop() {
    auto& table = Table();
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard lock(table.mutex);
            std::erase_if(table.orphans, [](const RecordPtr& r) { return TryReap(*r); });
            if (table.orphans.empty()) {
                table.reaperRunning = false;
                return;
            }
            fds.clear();
            for (const RecordPtr& r : table.orphans)
                fds.push_back(pollfd{r->pidfd, POLLIN, 0});
        }
        // Wakes when one of them ends; the time-out picks up orphans added meanwhile.
        poll(fds.data(), fds.size(), 100);
    }
}

// A child whose last handle was closed while it still runs. Table mutex held.
void AdoptOrphan(RecordPtr record) {
    auto& table = Table();
    table.orphans.push_back(std::move(record));
    if (table.reaperRunning)
        return;
    try {
        std::thread(ReaperLoop).detach();
        table.reaperRunning = true;
    } catch (const std::system_error&) {
        // No thread to spare: the orphan waits in the list for the next successful start.
    }
}

HANDLE AddHandle(const RecordPtr& record, int fd) {
    Table().handles[fd] = record;
    ++record->handles;
    return fd;
}

// A descriptor to serve as a process or thread handle: a duplicate of the pidfd, or a
// placeholder where the system has no pidfds.
int NewHandleDescriptor(const ProcessRecord& record, bool inheritable) {
    const int command = inheritable ? F_DUPFD : F_DUPFD_CLOEXEC;
    if (record.pidfd >= 0)
        return fcntl(record.pidfd, command, 3);
    const int fd = AboveStandard(open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (fd >= 0 && inheritable)
        fcntl(fd, F_SETFD, 0);
    return fd;
}

DWORD WaitForRecord(const RecordPtr& record, DWORD milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    auto& table = Table();
    for (;;) {
        {
            std::lock_guard lock(table.mutex);
            if (TryReap(*record))
                return WAIT_OBJECT_0;
        }
        int timeout = -1;
        if (milliseconds != INFINITE) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return WAIT_TIMEOUT;
            timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
        }
        if (record->pidfd >= 0) {
            pollfd fd{record->pidfd, POLLIN, 0};
            if (poll(&fd, 1, timeout) == -1 && errno != EINTR)
                return WAIT_FAILED;
        } else {
            // Without pidfds the end can only be polled for.
            ::Sleep(timeout < 0 ? 5 : static_cast<DWORD>(std::min(timeout, 5)));
        }
    }
}

// --- Starting a child -----------------------------------------------------------------------

// Everything the child needs, prepared before fork: between fork and exec the child may only
// make async-signal-safe calls, so it allocates, converts and searches nothing.
struct ChildPlan {
    const char* path = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    const char* directory = nullptr;
    bool useStdHandles = false;
    int stdHandles[3] = {-1, -1, -1};
    bool inheritHandles = true;
    bool detached = false;
    bool newGroup = false;
    bool suspended = false;
    int errorFd = -1;
    int maxFd = 1024;
};

[[noreturn]] void ChildFail(const ChildPlan& plan, int error) {
    // The parent may have stopped listening (a suspended start): a write to the closed pipe
    // must end in _exit, not in a signal.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
    const ssize_t ignored = write(plan.errorFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

void CloseRange(unsigned first, unsigned last, int maxFd) {
    if (first > last)
        return;
    if (close_range(first, last, 0) == 0)
        return;
    for (unsigned fd = first; fd <= last && fd < static_cast<unsigned>(maxFd); ++fd)
        close(static_cast<int>(fd));
}

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void ChildMain(const ChildPlan& plan) {
    // The parent's handlers must not run here, and the program starts with every signal at its
    // default, as a new process would.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &byDefault, nullptr);

    if (plan.detached)
        setsid();
    else if (plan.newGroup)
        setpgid(0, 0);

    if (plan.useStdHandles) {
        int source[3];
        for (int i = 0; i < 3; ++i) {
            // Copied above 2 first, so that wiring one standard handle cannot clobber the
            // source of another.
            source[i] = -1;
            if (plan.inheritHandles && plan.stdHandles[i] >= 0)
                source[i] = fcntl(plan.stdHandles[i], F_DUPFD_CLOEXEC, 3);
            if (source[i] < 0)
                source[i] = AboveStandard(open("/dev/null", O_RDWR | O_CLOEXEC));
            if (source[i] < 0)
                ChildFail(plan, errno);
        }
        for (int i = 0; i < 3; ++i)
            if (dup2(source[i], i) < 0)
                ChildFail(plan, errno);
    }

    if (plan.directory && chdir(plan.directory) != 0)
        ChildFail(plan, errno);

    if (!plan.inheritHandles) {
        const unsigned errorFd = static_cast<unsigned>(plan.errorFd);
        CloseRange(3, errorFd - 1, plan.maxFd);
        CloseRange(errorFd + 1, ~0U, plan.maxFd);
    }

    if (plan.suspended)
        kill(getpid(), SIGSTOP); // the parent sees the stop; ResumeThread continues from here

    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(plan.path, plan.argv, plan.envp);
    ChildFail(plan, errno);
}

// NUL-terminated pointer array over byte strings that outlive it.
std::vector<char*> PointerArray(std::vector<QByteArray>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (QByteArray& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::vector<QByteArray> EnvironmentEntries(const void* block, bool unicode) {
    std::vector<QByteArray> entries;
    if (unicode) {
        for (auto p = static_cast<const char16_t*>(block); *p;) {
            const auto length = std::char_traits<char16_t>::length(p);
            entries.push_back(QString::fromUtf16(p, static_cast<qsizetype>(length)).toLocal8Bit());
            p += length + 1;
        }
    } else {
        for (auto p = static_cast<const char*>(block); *p;) {
            const std::size_t length = std::strlen(p);
            entries.emplace_back(p, static_cast<qsizetype>(length));
            p += length + 1;
        }
    }
    return entries;
}

// 0 when the file can be run, else the errno that exec would give.
int CheckRunnable(const QByteArray& path) {
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EACCES;
    if (access(path.constData(), X_OK) != 0)
        return errno;
    return 0;
}

// Finds the program; answers its absolute path, or empty with error set.
QByteArray ResolveProgram(const QString& name, bool search, int& error) {
    if (!search || name.contains(u'/')) {
        const QByteArray path = QFile::encodeName(QDir::current().absoluteFilePath(name));
        error = CheckRunnable(path);
        return error == 0 ? path : QByteArray();
    }
    QStringList folders;
    folders << QFileInfo(ExecutablePath()).absolutePath() << QDir::currentPath();
    const QByteArray pathVariable = qgetenv("PATH");
    for (const QByteArray& folder : pathVariable.split(':'))
        folders << (folder.isEmpty() ? QDir::currentPath() : QFile::decodeName(folder));
    error = ENOENT;
    for (const QString& folder : folders) {
        const QByteArray path = QFile::encodeName(QDir(folder).absoluteFilePath(name));
        const int result = CheckRunnable(path);
        if (result == 0) {
            error = 0;
            return path;
        }
        if (result == EACCES)
            error = EACCES; // as a shell reports it: found, but not runnable
    }
    return QByteArray();
}

int NiceValueFor(DWORD creationFlags, bool& given) {
    given = true;
    if (creationFlags & REALTIME_PRIORITY_CLASS)
        return -20;
    if (creationFlags & HIGH_PRIORITY_CLASS)
        return -10;
    if (creationFlags & IDLE_PRIORITY_CLASS)
        return 19;
    if (creationFlags & NORMAL_PRIORITY_CLASS)
        return 0;
    given = false;
    return 0;
}

// Through syscall(): the C library's own wrapper is not declared for C++ here.
int PidfdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool IsOpen(HANDLE handle) {
    return IsDescriptorValue(handle) && fcntl(static_cast<int>(handle), F_GETFD) != -1;
}

// The checks a read and a write make before they start: the count done is 0 until something
// is done; answers the descriptor, or -1 with errno set for a call that cannot be made.
int TransferDescriptor(HANDLE handle, const void* buffer, DWORD count, DWORD* done,
                       void* overlapped) {
    if (done)
        *done = 0;
    if (overlapped || (!buffer && count > 0)) {
        errno = EINVAL;
        return -1;
    }
    if (!IsDescriptorValue(handle)) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int>(handle);
}

ssize_t ReadRetrying(int fd, void* buffer, std::size_t count) {
    ssize_t result;
    do {
        result = read(fd, buffer, count);
    } while (result == -1 && errno == EINTR);
    return result;
}

} // namespace

QStringList SplitWindowsCommandLine(const QString& commandLine) {
    QStringList args;
    const qsizetype n = commandLine.size();
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype i = 0;

    // The program name: quotes group, nothing is escaped.
    {
        QString word;
        bool inQuotes = false;
        bool any = false;
        while (i < n && (inQuotes || !isBlank(commandLine[i]))) {
            if (commandLine[i] == u'"')
                inQuotes = !inQuotes;
            else
                word += commandLine[i];
            any = true;
            ++i;
        }
        if (any)
            args << word;
    }

    for (;;) {
        while (i < n && isBlank(commandLine[i]))
            ++i;
        if (i >= n)
            break;
        QString word;
        bool inQuotes = false;
        while (i < n && (inQuotes || !isBlank(commandLine[i]))) {
            qsizetype backslashes = 0;
            while (i < n && commandLine[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && commandLine[i] == u'"') {
                word += QString(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    word += u'"';
                    ++i;
                } else if (inQuotes && i + 1 < n && commandLine[i + 1] == u'"') {
                    word += u'"'; // "" inside quotes
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
            } else {
                word += QString(backslashes, u'\\');
                if (i < n && (inQuotes || !isBlank(commandLine[i]))) {
                    word += commandLine[i];
                    ++i;
                }
            }
        }
        args << word;
    }
    return args;
}

BOOL CreatePipe(HANDLE* hReadPipe, HANDLE* hWritePipe, const SECURITY_ATTRIBUTES* lpPipeAttributes,
                DWORD nSize) {
    if (!hReadPipe || !hWritePipe)
        return FailWith(EINVAL);
    int fds[2];
    if (!PipeAboveStandard(fds))
        return 0;
    if (lpPipeAttributes && lpPipeAttributes->bInheritHandle) {
        fcntl(fds[0], F_SETFD, 0);
        fcntl(fds[1], F_SETFD, 0);
    }
    const int capacity = fcntl(fds[1], F_GETPIPE_SZ);
    if (nSize > 0 && capacity >= 0 && nSize > static_cast<DWORD>(capacity))
        fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(std::min<DWORD>(nSize, INT_MAX)));
    *hReadPipe = fds[0];
    *hWritePipe = fds[1];
    return 1;
}

BOOL PeekNamedPipe(HANDLE hNamedPipe, void*, DWORD, DWORD* lpBytesRead, DWORD* lpTotalBytesAvail,
                   DWORD* lpBytesLeftThisMessage) {
    int available = 0;
    if (!IsDescriptorValue(hNamedPipe))
        return FailWith(EBADF);
    if (ioctl(static_cast<int>(hNamedPipe), FIONREAD, &available) != 0)
        return 0;
    if (lpBytesRead)
        *lpBytesRead = 0;
    if (lpTotalBytesAvail)
        *lpTotalBytesAvail = static_cast<DWORD>(available);
    if (lpBytesLeftThisMessage)
        *lpBytesLeftThisMessage = 0;
    return 1;
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped) {
    const int fd = TransferDescriptor(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                      lpOverlapped);
    if (fd < 0)
        return 0;
    const ssize_t result = ReadRetrying(fd, lpBuffer, nNumberOfBytesToRead);
    if (result < 0)
        return 0;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = static_cast<DWORD>(result);
    return 1;
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, void* lpOverlapped) {
    const int fd = TransferDescriptor(hFile, lpBuffer, nNumberOfBytesToWrite,
                                      lpNumberOfBytesWritten, lpOverlapped);
    if (fd < 0)
        return 0;

    // A write to a pipe without reader raises SIGPIPE, which would end the program. Block it
    // for this thread and take back the one the write raised, unless one was already pending.
    sigset_t pipeSignal, previousMask, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);

    auto bytes = static_cast<const char*>(lpBuffer);
    DWORD written = 0;
    int error = 0;
    while (written < nNumberOfBytesToWrite) {
        const ssize_t result = write(fd, bytes + written, nNumberOfBytesToWrite - written);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        written += static_cast<DWORD>(result);
    }
    if (error == EPIPE && !alreadyPending) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &noWait) == -1 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = written;
    return error == 0 ? 1 : FailWith(error);
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == CurrentProcessPseudoHandle)
        return 1;
    if (!IsDescriptorValue(hObject))
        return FailWith(EBADF);
    auto& table = Table();
    RecordPtr record;
    {
        std::lock_guard lock(table.mutex);
        const auto it = table.handles.find(hObject);
        if (it != table.handles.end()) {
            record = std::move(it->second);
            table.handles.erase(it);
        }
    }
    // Linux releases the descriptor even when close reports EINTR: never close twice.
    const bool closed = close(static_cast<int>(hObject)) == 0 || errno == EINTR;
    const int error = errno;
    if (record) {
        std::lock_guard lock(table.mutex);
        if (--record->handles == 0 && !TryReap(*record))
            AdoptOrphan(std::move(record));
    }
    return closed ? 1 : FailWith(error);
}

HANDLE GetCurrentProcess() {
    return CurrentProcessPseudoHandle;
}

BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     HANDLE* lpTargetHandle, DWORD, BOOL bInheritHandle, DWORD dwOptions) {
    if (hSourceProcessHandle != CurrentProcessPseudoHandle ||
        hTargetProcessHandle != CurrentProcessPseudoHandle || !lpTargetHandle)
        return FailWith(EINVAL);
    if (!IsDescriptorValue(hSourceHandle))
        return FailWith(EBADF);
    auto& table = Table();
    int duplicate;
    int error;
    {
        std::lock_guard lock(table.mutex);
        RecordPtr record = FindRecord(hSourceHandle);
        duplicate =
            fcntl(static_cast<int>(hSourceHandle), bInheritHandle ? F_DUPFD : F_DUPFD_CLOEXEC, 3);
        error = errno;
        if (duplicate >= 0 && record)
            AddHandle(record, duplicate);
    }
    if (dwOptions & DUPLICATE_CLOSE_SOURCE)
        CloseHandle(hSourceHandle);
    if (duplicate < 0)
        return FailWith(error);
    *lpTargetHandle = duplicate;
    return 1;
}

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, const SECURITY_ATTRIBUTES*,
                    const SECURITY_ATTRIBUTES*, BOOL bInheritHandles, DWORD dwCreationFlags,
                    void* lpEnvironment, LPCWSTR lpCurrentDirectory,
                    const STARTUPINFOW* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation) {
    if (!lpProcessInformation || !lpStartupInfo || (!lpApplicationName && !lpCommandLine))
        return FailWith(EINVAL);

    const QString applicationName =
        lpApplicationName ? QString::fromUtf16(lpApplicationName) : QString();
    QStringList args =
        SplitWindowsCommandLine(lpCommandLine ? QString::fromUtf16(lpCommandLine) : QString());
    if (lpApplicationName && args.isEmpty())
        args << applicationName;
    if (args.isEmpty() || (lpApplicationName && applicationName.isEmpty()))
        return FailWith(ENOENT);

    int error = 0;
    const QByteArray path = lpApplicationName ? ResolveProgram(applicationName, false, error)
                                              : ResolveProgram(args.first(), true, error);
    if (error != 0)
        return FailWith(error);

    std::vector<QByteArray> argStrings;
    for (const QString& arg : args)
        argStrings.push_back(arg.toLocal8Bit());
    std::vector<char*> argv = PointerArray(argStrings);

    std::vector<QByteArray> envStrings;
    std::vector<char*> envp;
    if (lpEnvironment) {
        envStrings =
            EnvironmentEntries(lpEnvironment, dwCreationFlags & CREATE_UNICODE_ENVIRONMENT);
        envp = PointerArray(envStrings);
    }

    const QByteArray directory = lpCurrentDirectory
                                     ? QFile::encodeName(QString::fromUtf16(lpCurrentDirectory))
                                     : QByteArray();

    ChildPlan plan;
    plan.path = path.constData();
    plan.argv = argv.data();
    plan.envp = lpEnvironment ? envp.data() : environ;
    plan.directory = lpCurrentDirectory ? directory.constData() : nullptr;
    plan.useStdHandles = (lpStartupInfo->dwFlags & STARTF_USESTDHANDLES) != 0;
    const HANDLE stdHandles[3] = {lpStartupInfo->hStdInput, lpStartupInfo->hStdOutput,
                                  lpStartupInfo->hStdError};
    for (int i = 0; i < 3; ++i)
        plan.stdHandles[i] = IsOpen(stdHandles[i]) ? static_cast<int>(stdHandles[i]) : -1;
    plan.inheritHandles = bInheritHandles != 0;
    plan.detached = (dwCreationFlags & DETACHED_PROCESS) != 0;
    plan.newGroup = (dwCreationFlags & CREATE_NEW_PROCESS_GROUP) != 0;
    plan.suspended = (dwCreationFlags & CREATE_SUSPENDED) != 0;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        plan.maxFd = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, INT_MAX));

    // The child reports a failed exec (or chdir, or wiring) through this pipe; it closes on a
    // successful exec, so an empty read means the program runs.
    int errorPipe[2];
    if (!PipeAboveStandard(errorPipe))
        return 0;
    plan.errorFd = errorPipe[1];

    // All signals are blocked around fork, so that no handler of ours runs in the child before
    // it has put every signal back to its default.
    sigset_t all, previousMask;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previousMask);
    const pid_t pid = fork();
    if (pid == 0)
        ChildMain(plan);
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    close(errorPipe[1]);
    if (pid < 0) {
        close(errorPipe[0]);
        return FailWith(forkError);
    }

    int childError = 0;
    bool started = false;
    if (plan.suspended) {
        // A suspended child stops itself before exec; until it has, a failure may still come.
        int status = 0;
        pid_t waited;
        do {
            waited = waitpid(pid, &status, WUNTRACED);
        } while (waited == -1 && errno == EINTR);
        if (waited == pid && WIFSTOPPED(status)) {
            started = true;
        } else {
            if (ReadRetrying(errorPipe[0], &childError, sizeof childError) !=
                static_cast<ssize_t>(sizeof childError))
                childError = ECHILD;
        }
    } else {
        const ssize_t got = ReadRetrying(errorPipe[0], &childError, sizeof childError);
        started = got == 0;
        if (!started) {
            if (got != static_cast<ssize_t>(sizeof childError))
                childError = EIO;
            ReapNow(pid);
        }
    }
    close(errorPipe[0]);
    if (!started)
        return FailWith(childError);

    bool priorityGiven = false;
    const int nice = NiceValueFor(dwCreationFlags, priorityGiven);
    if (priorityGiven)
        setpriority(PRIO_PROCESS, static_cast<id_t>(pid), nice); // a refused raise keeps normal

    auto record = std::make_shared<ProcessRecord>();
    record->pid = pid;
    record->pidfd = AboveStandard(PidfdOpen(pid));
    record->suspendCount = plan.suspended ? 1 : 0;

    auto& table = Table();
    std::lock_guard lock(table.mutex);
    const int processFd = NewHandleDescriptor(*record, false);
    const int threadFd = processFd >= 0 ? NewHandleDescriptor(*record, false) : -1;
    if (processFd < 0 || threadFd < 0) {
        // Out of descriptors: no handle to give, so the child must not go on unseen.
        error = errno;
        if (processFd >= 0)
            close(processFd);
        kill(pid, SIGKILL);
        ReapNow(pid);
        return FailWith(error);
    }
    lpProcessInformation->hProcess = AddHandle(record, processFd);
    lpProcessInformation->hThread = AddHandle(record, threadFd);
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId = static_cast<DWORD>(pid); // the main thread's id
    return 1;
}

BOOL GetExitCodeProcess(HANDLE hProcess, DWORD* lpExitCode) {
    if (!lpExitCode)
        return FailWith(EINVAL);
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    RecordPtr record = FindRecord(hProcess);
    if (!record)
        return FailWith(EBADF);
    *lpExitCode = TryReap(*record) ? record->exitCode : STILL_ACTIVE;
    return 1;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    RecordPtr record;
    {
        std::lock_guard lock(Table().mutex);
        record = FindRecord(hHandle);
    }
    if (!record) {
        errno = EBADF;
        return WAIT_FAILED;
    }
    return WaitForRecord(record, dwMilliseconds);
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    RecordPtr record = FindRunningRecord(hProcess);
    if (!record)
        return 0;
    if (kill(record->pid, SIGKILL) != 0)
        return 0;
    record->terminated = true;
    record->terminateCode = uExitCode;
    return 1;
}

DWORD SuspendThread(HANDLE hThread) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    RecordPtr record = FindRunningRecord(hThread);
    if (!record)
        return 0xFFFFFFFF;
    const DWORD previous = record->suspendCount;
    if (previous == 0 && kill(record->pid, SIGSTOP) != 0)
        return 0xFFFFFFFF;
    ++record->suspendCount;
    return previous;
}

DWORD ResumeThread(HANDLE hThread) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    RecordPtr record = FindRunningRecord(hThread);
    if (!record)
        return 0xFFFFFFFF;
    const DWORD previous = record->suspendCount;
    if (previous == 1 && kill(record->pid, SIGCONT) != 0)
        return 0xFFFFFFFF;
    if (previous > 0)
        --record->suspendCount;
    return previous;
}
