// The process and pipe services against real children (the helpers of tests/process).
#include "ChildProcesses.h"
#include "TestDirs.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "winprocess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace proctest;

std::u16string Wide(const QString& text) {
    return text.toStdU16String();
}

std::string ReadAll(HANDLE fd) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(fd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

// What the pipe gives up to and including its first line end, or up to its end.
std::string ReadLine(HANDLE fd) {
    std::string text;
    char c = 0;
    DWORD got = 0;
    while (text.find('\n') == std::string::npos && ReadFile(fd, &c, 1, &got, nullptr) && got == 1)
        text += c;
    return text;
}

bool IsCloseOnExec(HANDLE fd) {
    return (fcntl(static_cast<int>(fd), F_GETFD) & FD_CLOEXEC) != 0;
}

std::set<std::string> OpenDescriptorsOf(DWORD pid) {
    std::set<std::string> fds;
    for (const QString& name :
         QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::Files | QDir::System))
        fds.insert(name.toStdString());
    return fds;
}

// A child started with its standard output (and error) on a pipe.
struct Child {
    PROCESS_INFORMATION info{};
    HANDLE outRead = -1;
    BOOL ok = 0;
    DWORD error = 0;

    Child(const QString& commandLine, DWORD flags = 0, void* environment = nullptr,
          const QString& directory = QString(), BOOL inherit = 1) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, 1};
        HANDLE outWrite = -1;
        EXPECT_TRUE(CreatePipe(&outRead, &outWrite, nullptr, 0));
        HANDLE childEnd = -1;
        EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), outWrite, GetCurrentProcess(), &childEnd,
                                    0, inheritable.bInheritHandle, DUPLICATE_SAME_ACCESS));
        CloseHandle(outWrite);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = -1;
        startup.hStdOutput = childEnd;
        startup.hStdError = childEnd;
        std::u16string command = Wide(commandLine);
        const std::u16string dir = Wide(directory);
        ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, inherit, flags, environment,
                            directory.isEmpty() ? nullptr : dir.c_str(), &startup, &info);
        error = ok ? 0 : GetLastError();
        CloseHandle(childEnd);
    }
    ~Child() {
        CloseHandle(outRead);
        if (ok) {
            DWORD code = 0;
            if (GetExitCodeProcess(info.hProcess, &code) && code == STILL_ACTIVE)
                TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, INFINITE);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    DWORD Finish() {
        EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        return code;
    }
};

QString Quoted(const char* path) {
    return QStringLiteral("\"%1\"").arg(QString::fromLocal8Bit(path));
}

} // namespace

TEST(WindowsCommandLine, SplitsByTheRunTimeRules) {
    const struct {
        QString line;
        QStringList args;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {R"("C:\Program Files\x.exe" -x)", {R"(C:\Program Files\x.exe)", "-x"}},
        {R"(prog "a b" c)", {"prog", "a b", "c"}},
        {R"(prog "ab\"c" "\\" d)", {"prog", R"(ab"c)", R"(\)", "d"}},
        {R"(prog a\\\b d"e f"g h)", {"prog", R"(a\\\b)", "de fg", "h"}},
        {R"(prog a\\\"b c d)", {"prog", R"(a\"b)", "c", "d"}},
        {R"(prog a\\\\"b c" d e)", {"prog", R"(a\\b c)", "d", "e"}},
        {R"(prog a"b"" c d)", {"prog", R"(ab" c d)"}},
        {R"(prog "" x)", {"prog", "", "x"}},
        {"prog\ta\t\tb  ", {"prog", "a", "b"}},
        {"prog a\nb", {"prog", "a\nb"}},
        {R"(pro"g a"b c)", {"prog ab", "c"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitWindowsCommandLine(c.line), c.args) << c.line.toStdString();
}

TEST(Pipes, CreatePeekReadWrite) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 1024));
    EXPECT_GT(r, 2);
    EXPECT_GT(w, 2);
    EXPECT_TRUE(IsCloseOnExec(r));
    EXPECT_TRUE(IsCloseOnExec(w));
    // A small suggestion never shrinks the pipe below the system's default.
    EXPECT_GE(fcntl(static_cast<int>(w), F_GETPIPE_SZ), 65536);

    DWORD avail = 99, done = 0;
    ASSERT_TRUE(PeekNamedPipe(r, nullptr, 0, nullptr, &avail, nullptr));
    EXPECT_EQ(avail, 0u);
    ASSERT_TRUE(WriteFile(w, "hello", 5, &done, nullptr));
    EXPECT_EQ(done, 5u);
    ASSERT_TRUE(PeekNamedPipe(r, nullptr, 0, nullptr, &avail, nullptr));
    EXPECT_EQ(avail, 5u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(r, buffer, 3, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "hel");
    ASSERT_TRUE(PeekNamedPipe(r, nullptr, 0, nullptr, &avail, nullptr));
    EXPECT_EQ(avail, 2u);

    // At the end of the data a read succeeds with nothing.
    CloseHandle(w);
    ASSERT_TRUE(ReadFile(r, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 2u);
    ASSERT_TRUE(ReadFile(r, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(CloseHandle(r));
    EXPECT_FALSE(CloseHandle(r));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_FALSE(PeekNamedPipe(r, nullptr, 0, nullptr, &avail, nullptr));

    // A large suggestion is honoured.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, 1};
    ASSERT_TRUE(CreatePipe(&r, &w, &inherit, 1 << 17));
    EXPECT_GE(fcntl(static_cast<int>(w), F_GETPIPE_SZ), 1 << 17);
    EXPECT_FALSE(IsCloseOnExec(r));
    EXPECT_FALSE(IsCloseOnExec(w));
    CloseHandle(r);
    CloseHandle(w);
}

TEST(Pipes, WriteWithoutReaderFailsWithoutSignal) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    CloseHandle(r);
    DWORD done = 7;
    EXPECT_FALSE(WriteFile(w, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EPIPE));
    EXPECT_EQ(done, 0u);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    CloseHandle(w);
}

TEST(Pipes, DuplicateHandleInheritanceAndCloseSource) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
    HANDLE inheritable = -1, private_ = -1;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), r, GetCurrentProcess(), &inheritable, 0, 1,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_FALSE(IsCloseOnExec(inheritable));
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), r, GetCurrentProcess(), &private_, 0, 0,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    EXPECT_TRUE(IsCloseOnExec(private_));
    EXPECT_EQ(fcntl(static_cast<int>(r), F_GETFD), -1); // the source is gone
    HANDLE none = -1;
    EXPECT_FALSE(DuplicateHandle(12345, w, GetCurrentProcess(), &none, 0, 0, 0));
    for (HANDLE h : {inheritable, private_, w})
        CloseHandle(h);
}

TEST(CreateProcess, ArgumentsExitCodeAndNoZombie) {
    Child child(Quoted(HELPER_ECHOARGS) + R"( snr 1 "two words" a\"b)");
    ASSERT_TRUE(child.ok) << child.error;
    EXPECT_EQ(child.info.dwProcessId, child.info.dwThreadId);
    EXPECT_EQ(ReadAll(child.outRead), "[snr]\n[1]\n[two words]\n[a\"b]\n");
    EXPECT_EQ(child.Finish(), 0u);
    EXPECT_FALSE(ProcessExists(child.info.dwProcessId)); // reaped once its end was seen

    Child failing(Quoted(HELPER_EXITCODE) + " 3 line");
    ASSERT_TRUE(failing.ok);
    EXPECT_EQ(ReadAll(failing.outRead), "line\n");
    EXPECT_EQ(failing.Finish(), 3u);
}

TEST(CreateProcess, FailuresAreSynchronousAndLeaveNoChild) {
    const QString absent = testdirs::WorkDir() + "/absent";
    const QString notRunnable = testdirs::WorkDir() + "/plain.txt";
    testfiles::WriteContents(notRunnable, "");
    const struct {
        QString commandLine;
        DWORD flags;
        QString directory;
        int error;
    } cases[] = {
        {"no-such-program-tidelog arg", 0, {}, ENOENT},
        {Quoted(HELPER_ECHOARGS), 0, absent, ENOENT},
        {Quoted(HELPER_ECHOARGS), CREATE_SUSPENDED, absent, ENOENT},
        {Quoted(notRunnable.toLocal8Bit().constData()), 0, {}, EACCES},
    };
    for (const auto& c : cases) {
        Child child(c.commandLine, c.flags, nullptr, c.directory);
        EXPECT_FALSE(child.ok) << c.commandLine.toStdString();
        EXPECT_EQ(child.error, static_cast<DWORD>(c.error)) << c.commandLine.toStdString();
    }
    EXPECT_TRUE(HasNoChildren());
}

TEST(CreateProcess, SearchesProgramFolderThenCurrentFolderThenPath) {
    const QString root = testdirs::Root();
    const QString programDir = root + "/program", pathDir = root + "/onpath";
    QDir().mkpath(programDir);
    QDir().mkpath(pathDir);
    auto writeTool = [](const QString& dir, const char* answer, bool executable = true) {
        const QString tool = dir + "/tidelog-tool";
        testfiles::WriteContents(tool, QByteArray("#!/bin/sh\necho ") + answer + "\n");
        chmod(QFile::encodeName(tool).constData(), executable ? 0755 : 0644);
    };
    SetExecutablePathOverride(programDir + "/tidelog");
    const testenv::ScopedVariable path("PATH", QFile::encodeName(pathDir) + ":" + qgetenv("PATH"));

    auto run = [](std::string& output) {
        Child child(QStringLiteral("tidelog-tool"));
        if (!child.ok)
            return child.error;
        output = ReadAll(child.outRead);
        child.Finish();
        return DWORD{0};
    };
    std::string out;
    writeTool(programDir, "program");
    writeTool(testdirs::WorkDir(), "current");
    writeTool(pathDir, "path");
    EXPECT_EQ(run(out), 0u);
    EXPECT_EQ(out, "program\n");
    writeTool(programDir, "program", false); // present but not runnable: skipped
    EXPECT_EQ(run(out), 0u);
    EXPECT_EQ(out, "current\n");
    QFile::remove(testdirs::WorkDir() + "/tidelog-tool");
    EXPECT_EQ(run(out), 0u);
    EXPECT_EQ(out, "path\n");
    QFile::remove(pathDir + "/tidelog-tool");
    EXPECT_EQ(run(out), static_cast<DWORD>(EACCES));
    QFile::remove(programDir + "/tidelog-tool");
    EXPECT_EQ(run(out), static_cast<DWORD>(ENOENT));

    SetExecutablePathOverride(QString());
}

TEST(CreateProcess, EnvironmentBlockAndCurrentDirectory) {
    const char block[] = "A=1\0B=two words\0\0";
    Child child(Quoted(HELPER_PRINTENV), 0, const_cast<char*>(block), testdirs::Root());
    ASSERT_TRUE(child.ok);
    EXPECT_EQ(ReadAll(child.outRead),
              "cwd=" + QDir(testdirs::Root()).canonicalPath().toStdString() +
                  "\nA=1\nB=two words\n");

    char16_t wide[] = u"X=\u00fc\0\0";
    Child unicode(Quoted(HELPER_PRINTENV), CREATE_UNICODE_ENVIRONMENT, wide);
    ASSERT_TRUE(unicode.ok);
    EXPECT_EQ(ReadAll(unicode.outRead),
              "cwd=" + QDir::current().canonicalPath().toStdString() + "\nX=\u00fc\n");
}

TEST(CreateProcess, RunningTerminateAndSignalExitCodes) {
    Child child(Quoted(HELPER_HANG));
    ASSERT_TRUE(child.ok);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, 30), WAIT_TIMEOUT);
    ASSERT_TRUE(TerminateProcess(child.info.hProcess, 42));
    EXPECT_EQ(WaitForSingleObject(child.info.hThread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeProcess(child.info.hProcess, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_FALSE(TerminateProcess(child.info.hProcess, 43));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ESRCH));

    Child signalled(Quoted(HELPER_HANG));
    ASSERT_TRUE(signalled.ok);
    kill(static_cast<pid_t>(signalled.info.dwProcessId), SIGTERM);
    EXPECT_EQ(signalled.Finish(), SignalExitCodeBase + SIGTERM);

    EXPECT_EQ(WaitForSingleObject(987654, 0), WAIT_FAILED);
    EXPECT_FALSE(GetExitCodeProcess(987654, &code));
}

TEST(CreateProcess, SuspendedChildRunsOnlyAfterResume) {
    Child child(Quoted(HELPER_ECHOARGS) + " started", CREATE_SUSPENDED);
    ASSERT_TRUE(child.ok);
    const DWORD pid = child.info.dwProcessId;
    EXPECT_EQ(ProcessState(pid), 'T');
    DWORD avail = 1;
    ASSERT_TRUE(PeekNamedPipe(child.outRead, nullptr, 0, nullptr, &avail, nullptr));
    EXPECT_EQ(avail, 0u);
    DWORD code = 0;
    GetExitCodeProcess(child.info.hProcess, &code);
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_EQ(SuspendThread(child.info.hThread), 1u);
    EXPECT_EQ(ResumeThread(child.info.hThread), 2u);
    EXPECT_EQ(ProcessState(pid), 'T');
    EXPECT_EQ(ResumeThread(child.info.hThread), 1u);
    EXPECT_EQ(ReadAll(child.outRead), "[started]\n");
    EXPECT_EQ(child.Finish(), 0u);
    EXPECT_EQ(ResumeThread(child.info.hThread), 0xFFFFFFFFu);
    EXPECT_EQ(SuspendThread(child.info.hThread), 0xFFFFFFFFu);
    EXPECT_EQ(ResumeThread(0), 0xFFFFFFFFu);
}

TEST(CreateProcess, SuspendAndResumeARunningChild) {
    Child child(Quoted(HELPER_HANG));
    ASSERT_TRUE(child.ok);
    const DWORD pid = child.info.dwProcessId;
    EXPECT_EQ(SuspendThread(child.info.hThread), 0u);
    EXPECT_TRUE(EventuallyTrue([&] { return ProcessState(pid) == 'T'; }));
    EXPECT_EQ(ResumeThread(child.info.hThread), 1u);
    EXPECT_TRUE(EventuallyTrue([&] { return ProcessState(pid) != 'T'; }));
    EXPECT_EQ(ResumeThread(child.info.hThread), 0u);
}

TEST(CreateProcess, InheritsOnlyInheritableHandlesAndNoneWithoutInheritance) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0)); // close-on-exec: never inherited
    HANDLE inheritable = -1;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), r, GetCurrentProcess(), &inheritable, 0, 1,
                                DUPLICATE_SAME_ACCESS));
    // Each child is looked at once it has started: until its program runs, the dynamic loader
    // may hold a library open as one more descriptor.
    {
        Child child(Quoted(HELPER_HANG) + " started");
        ASSERT_TRUE(child.ok);
        ASSERT_EQ(ReadLine(child.outRead), "started\n");
        const auto fds = OpenDescriptorsOf(child.info.dwProcessId);
        EXPECT_TRUE(fds.count(std::to_string(inheritable)));
        EXPECT_FALSE(fds.count(std::to_string(r)));
        EXPECT_FALSE(fds.count(std::to_string(w)));
    }
    {
        // Its output goes nowhere, so it says that it has started by making a folder.
        const QString started = testdirs::WorkDir() + "/started";
        Child child(Quoted(HELPER_HANG) + " hello " + Quoted(started.toLocal8Bit().constData()), 0,
                    nullptr, QString(), 0);
        ASSERT_TRUE(child.ok);
        ASSERT_TRUE(EventuallyTrue([&] { return QFileInfo::exists(started); }));
        EXPECT_EQ(OpenDescriptorsOf(child.info.dwProcessId),
                  (std::set<std::string>{"0", "1", "2"}));
        char target[256] = {};
        const std::string link = "/proc/" + std::to_string(child.info.dwProcessId) + "/fd/1";
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_STREQ(target, "/dev/null");
    }
    for (HANDLE h : {r, w, inheritable})
        CloseHandle(h);
}

TEST(CreateProcess, DetachedGroupAndPriority) {
    Child detached(Quoted(HELPER_HANG), DETACHED_PROCESS | IDLE_PRIORITY_CLASS);
    ASSERT_TRUE(detached.ok);
    const auto pid = static_cast<pid_t>(detached.info.dwProcessId);
    EXPECT_EQ(getsid(pid), pid);
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(pid)), 19);

    Child grouped(Quoted(HELPER_HANG), CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS);
    ASSERT_TRUE(grouped.ok);
    const auto gpid = static_cast<pid_t>(grouped.info.dwProcessId);
    EXPECT_EQ(getpgid(gpid), gpid);
    EXPECT_EQ(getsid(gpid), getsid(0));

    Child plain(Quoted(HELPER_HANG));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(getpgid(static_cast<pid_t>(plain.info.dwProcessId)), getpgid(0));
}

TEST(CreateProcess, ChildWhoseHandlesAreClosedIsReapedWhenItEnds) {
    const auto before = OpenDescriptors();
    DWORD pid = 0;
    {
        Child child(Quoted(HELPER_HANG));
        ASSERT_TRUE(child.ok);
        pid = child.info.dwProcessId;
        CloseHandle(child.info.hProcess);
        CloseHandle(child.info.hThread);
        child.ok = 0; // handles are gone; the child goes on running
    }
    ExpectRunningThenReapedWhenKilled(pid, before);
}
