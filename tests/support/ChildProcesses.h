// Child processes in tests: a program run to its end, whether a child exists, its state and the
// signals it catches, this process's open descriptors, whether any child is left, and a bounded
// wait for a condition.
#pragma once

#include "winbase.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace proctest {

// What a program run to its end printed, and how it ended.
struct ProgramRun {
    QByteArray out;
    QByteArray err;
    int exitCode = -1; // -1 when it did not end normally
    bool finished = false;
};
// Runs the program in the environment and waits for its end; after the time limit it is killed.
ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment, int timeLimitMs = 30000);

// This process's open descriptors, each as "number target".
std::set<std::string> OpenDescriptors();
// True when this process has no child at all, running or unreaped.
bool HasNoChildren();
bool ProcessExists(DWORD pid);
char ProcessState(DWORD pid); // the state letter of /proc/PID/stat
// True once the process has a handler of its own for the signal (SigCgt in /proc/PID/status):
// from then on a signal asks the program to end instead of killing it.
bool CatchesSignal(DWORD pid, int signal);

// Waits, with a generous bound, until a condition holds; answers whether it did.
template <typename F> bool EventuallyTrue(F condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// For a child that no handle refers to any more: checks that it still runs (no zombie), kills
// it, and waits until it has been reaped and this process holds the descriptors it held before.
void ExpectRunningThenReapedWhenKilled(DWORD pid, const std::set<std::string>& before);

} // namespace proctest
