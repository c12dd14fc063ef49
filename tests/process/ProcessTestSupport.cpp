#include "ProcessTestSupport.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include <sys/wait.h>
#include <unistd.h>

namespace proctest {
namespace {

std::vector<StartCall> gCalls;

BOOL RecordingCreateProcess(LPCWSTR app, LPWSTR cmd, const SECURITY_ATTRIBUTES* pa,
                            const SECURITY_ATTRIBUTES* ta, BOOL inherit, DWORD flags, void* env,
                            LPCWSTR dir, const STARTUPINFOW* si, PROCESS_INFORMATION* pi) {
    StartCall call;
    call.applicationNull = app == nullptr;
    if (app)
        call.applicationName = QString::fromUtf16(app);
    call.commandLine = QString::fromUtf16(cmd);
    call.inheritHandles = inherit;
    call.creationFlags = flags;
    call.environmentNull = env == nullptr;
    if (env) {
        const char* p = static_cast<const char*>(env);
        while (*p)
            p += std::strlen(p) + 1;
        call.environment =
            QByteArray(static_cast<const char*>(env), p - static_cast<const char*>(env) + 1);
    }
    call.directoryNull = dir == nullptr;
    if (dir)
        call.directory = QString::fromUtf16(dir);
    call.startupFlags = si->dwFlags;
    call.showWindow = si->wShowWindow;
    call.errorSharesOutput = si->hStdError == si->hStdOutput;
    gCalls.push_back(call);
    return CreateProcessW(app, cmd, pa, ta, inherit, flags, env, dir, si, pi);
}

} // namespace

StartSpy::StartSpy() {
    gCalls.clear();
    CreateProcessCall = &RecordingCreateProcess;
}

StartSpy::~StartSpy() {
    CreateProcessCall = &CreateProcessW;
}

const std::vector<StartCall>& StartSpy::Calls() const {
    return gCalls;
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

} // namespace proctest
