#include "filelock.h"

#include <cerrno>
#include <chrono>
#include <sys/file.h>
#include <thread>

// flock, not fcntl record locks: a flock belongs to the open file, so two writers inside one
// process keep each other out too, and closing some other descriptor of the same file does not
// drop it.
bool LockFileWithin(int fd, bool exclusive, int waitMs, int& error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (;;) {
        if (::flock(fd, operation) == 0)
            return true;
        error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline)
            return false;
        // A writer holds the lock only for the time it takes to write one line.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
