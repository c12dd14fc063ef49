// Shared by the process tests: a spy on the start's system call, the message an action raises,
// and (from the shared test support) the child and descriptor checks.
#pragma once

#include "ChildProcesses.h"
#include "dprocess.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace proctest {

// What the start handed to the system.
struct StartCall {
    bool applicationNull = true;
    QString applicationName;
    QString commandLine;
    BOOL inheritHandles = 0;
    DWORD creationFlags = 0;
    bool environmentNull = true;
    QByteArray environment; // up to and including the final empty entry
    bool directoryNull = true;
    QString directory;
    DWORD startupFlags = 0;
    WORD showWindow = 0xFFFF;
    bool errorSharesOutput = false;
};

// Installs itself as the start's system call, records each call and passes it on.
class StartSpy {
public:
    StartSpy();
    ~StartSpy();
    StartSpy(const StartSpy&) = delete;
    StartSpy& operator=(const StartSpy&) = delete;
    const std::vector<StartCall>& Calls() const;
};

// The message of the E that action raises, or "<nothing raised>".
template <typename E, typename F> QString MessageOf(F action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing raised>");
}

// A helper program's path (a compile definition) as the process component takes it.
inline QString Helper(const char* path) {
    return QString::fromLocal8Bit(path);
}

} // namespace proctest
