// Advisory locks on open files, shared by the log writer and the whole-file reader: a writer
// takes the lock exclusively while it adds a line, readers take it shared.
#pragma once

// Takes the lock on the open descriptor `fd`, exclusive or shared, waiting at most `waitMs`
// milliseconds for whoever holds it. False, with the system's error code in `error`
// (EWOULDBLOCK when the wait ran out), when it could not be had.
bool LockFileWithin(int fd, bool exclusive, int waitMs, int& error);
