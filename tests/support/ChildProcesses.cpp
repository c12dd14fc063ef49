#include "ChildProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>

#include <sys/wait.h>

namespace proctest {

ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, int timeLimitMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    run.finished = process.waitForFinished(timeLimitMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

std::set<std::string> OpenDescriptors() {
    std::set<std::string> fds;
    // Listed through a fresh directory read each time; the reading descriptor itself is closed
    // again before the answer is used.
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd"))
                                   .entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + name);
        if (!target.isEmpty())
            fds.insert(name.toStdString() + " " + target.toStdString());
    }
    return fds;
}

bool HasNoChildren() {
    errno = 0;
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

bool ProcessExists(DWORD pid) {
    return QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

char ProcessState(DWORD pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = all.rfind(')');
    return close == std::string::npos || close + 2 >= all.size() ? '?' : all[close + 2];
}

bool CatchesSignal(DWORD pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0)
            return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0;
    }
    return false;
}

void ExpectRunningThenReapedWhenKilled(DWORD pid, const std::set<std::string>& before) {
    EXPECT_TRUE(ProcessExists(pid)); // closing its handles does not end it
    EXPECT_NE(ProcessState(pid), 'Z');
    kill(static_cast<pid_t>(pid), SIGKILL);
    EXPECT_TRUE(EventuallyTrue([&] { return !ProcessExists(pid); }));
    EXPECT_TRUE(EventuallyTrue([&] { return OpenDescriptors() == before; }));
}

} // namespace proctest
