#include "ProcessTestSupport.h"

#include <cstring>

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

} // namespace proctest
