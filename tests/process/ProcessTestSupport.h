// Shared by the process tests: a spy on the start's system call, descriptor and child counts,
// and a bounded wait for a condition.
#pragma once

#include "dprocess.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <set>
#include <string>
#include <thread>
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

std::set<std::string> OpenDescriptors();
// True when this process has no child at all, running or unreaped.
bool HasNoChildren();

template <typename F> bool EventuallyTrue(F condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool ProcessExists(DWORD pid);
char ProcessState(DWORD pid); // the state letter of /proc/PID/stat

} // namespace proctest
