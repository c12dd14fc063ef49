// Process and pipe services shaped like the Windows ones the process runner calls: anonymous
// pipes, reads and writes on handles, handle duplication, process creation with the Windows
// argument table, exit codes, waits, termination and suspend/resume of a child's main thread.
//
// Handles are integers (HANDLE of winbase.h). A pipe end is a file descriptor. A process handle
// and a thread handle are descriptors too (each its own duplicate of a pidfd), registered in a
// small table so that the process services know the child behind them; both must be closed with
// CloseHandle. A child is reaped as soon as its end is seen; when the last handle of a child that
// still runs is closed, a reaper takes it over, so no zombie and no descriptor is left behind.
//
// Every call answers the Windows way (non-zero BOOL on success) and leaves the system error code
// (an errno value) for GetLastError on failure.
#pragma once

#include "winbase.h"

#include <QStringList>

using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor; // carried, not used
    BOOL bInheritHandle;
};

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// Creation flags. Acted on: CREATE_SUSPENDED (the child stops before it runs its program),
// DETACHED_PROCESS (a new session without a controlling terminal), CREATE_NEW_PROCESS_GROUP (a
// process group of its own), CREATE_UNICODE_ENVIRONMENT and the priority classes (nice values;
// a raise the system refuses leaves the normal priority). The console, error-mode and debug
// flags are accepted and have no effect.
constexpr DWORD DEBUG_PROCESS = 0x1;
constexpr DWORD DEBUG_ONLY_THIS_PROCESS = 0x2;
constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD DETACHED_PROCESS = 0x8;
constexpr DWORD CREATE_NEW_CONSOLE = 0x10;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
constexpr DWORD IDLE_PRIORITY_CLASS = 0x40;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;
constexpr DWORD REALTIME_PRIORITY_CLASS = 0x100;
constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x200;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x400;
constexpr DWORD CREATE_DEFAULT_ERROR_MODE = 0x4000000;
constexpr DWORD CREATE_NO_WINDOW = 0x8000000;

// Startup flags. STARTF_USESTDHANDLES wires the child's standard input, output and error to
// hStdInput, hStdOutput and hStdError; the window fields are carried and ignored.
constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
constexpr DWORD STARTF_USESIZE = 0x2;
constexpr DWORD STARTF_USEPOSITION = 0x4;
constexpr DWORD STARTF_USECOUNTCHARS = 0x8;
constexpr DWORD STARTF_USEFILLATTRIBUTE = 0x10;
constexpr DWORD STARTF_USESTDHANDLES = 0x100;

// Show commands (wShowWindow).
constexpr WORD SW_HIDE = 0;
constexpr WORD SW_SHOWNORMAL = 1;
constexpr WORD SW_SHOWMINIMIZED = 2;
constexpr WORD SW_SHOWMAXIMIZED = 3;
constexpr WORD SW_MAXIMIZE = 3;
constexpr WORD SW_SHOWNOACTIVATE = 4;
constexpr WORD SW_SHOW = 5;
constexpr WORD SW_MINIMIZE = 6;
constexpr WORD SW_SHOWMINNOACTIVE = 7;
constexpr WORD SW_SHOWNA = 8;
constexpr WORD SW_RESTORE = 9;
constexpr WORD SW_SHOWDEFAULT = 10;

constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD DUPLICATE_CLOSE_SOURCE = 0x1;
constexpr DWORD DUPLICATE_SAME_ACCESS = 0x2;

// The exit code a child reads as when a signal ended it (other than TerminateProcess): 128 plus
// the signal number, as a shell reports it.
constexpr DWORD SignalExitCodeBase = 128;

// An anonymous pipe. Both ends are close-on-exec unless the attributes ask for inheritance.
// The size is a suggestion: the pipe gets at least the system's default capacity, and more when
// the suggestion is larger (a smaller buffer would only make writers stall).
BOOL CreatePipe(HANDLE* hReadPipe, HANDLE* hWritePipe, const SECURITY_ATTRIBUTES* lpPipeAttributes,
                DWORD nSize);

// Bytes waiting in a pipe, without consuming or blocking. Copying the bytes out (a buffer with
// a non-zero size) is not offered: lpBytesRead answers 0 and the buffer is left alone.
BOOL PeekNamedPipe(HANDLE hNamedPipe, void* lpBuffer, DWORD nBufferSize, DWORD* lpBytesRead,
                   DWORD* lpTotalBytesAvail, DWORD* lpBytesLeftThisMessage);

// One read of up to the given count; a read at the end of the data succeeds with 0 bytes.
// Interrupted reads are retried. lpOverlapped must be null.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped);
// Writes all the bytes or fails. A write to a pipe whose reader is gone fails with EPIPE; it
// never raises a signal. lpOverlapped must be null.
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, void* lpOverlapped);

// Closes a pipe end, a file, or a process or thread handle. The pseudo handle of the current
// process closes to success and nothing.
BOOL CloseHandle(HANDLE hObject);

// The pseudo handle of the calling process (-1), valid only for DuplicateHandle.
HANDLE GetCurrentProcess();

// Duplicates a handle within the current process (both process handles must be the pseudo
// handle). With bInheritHandle the duplicate is inheritable (not close-on-exec). The desired
// access is ignored (every duplicate has the same access).
BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     HANDLE* lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle,
                     DWORD dwOptions);

// Starts a child.
// - The program: lpApplicationName when given (a relative path is taken from the current
//   directory); else the first word of the command line, and a name without a directory is
//   searched for in the running program's own directory, then the current directory, then PATH.
// - The child's argv is lpCommandLine split by the Windows C run-time rules (argv[0] is the first
//   word); an empty command line gives argv[0] = the application name.
// - bInheritHandles: the child gets every inheritable handle; without it, none (standard handles
//   named by the startup record are then /dev/null).
// - lpEnvironment: null for the caller's environment, else a block of NUL-terminated "name=value"
//   entries ended by an empty one (8-bit, or UTF-16 with CREATE_UNICODE_ENVIRONMENT).
// - lpCurrentDirectory: null for the caller's.
// Failures are synchronous: a program that cannot be found or run, or a directory that cannot be
// entered, answers FALSE with its errno (ENOENT, EACCES, ...) for GetLastError; no child remains.
// lpProcessInformation receives a process handle, a thread handle (the main thread), the process
// id and the main thread's id; the caller closes both handles.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                    const SECURITY_ATTRIBUTES* lpProcessAttributes,
                    const SECURITY_ATTRIBUTES* lpThreadAttributes, BOOL bInheritHandles,
                    DWORD dwCreationFlags, void* lpEnvironment, LPCWSTR lpCurrentDirectory,
                    const STARTUPINFOW* lpStartupInfo, PROCESS_INFORMATION* lpProcessInformation);

// STILL_ACTIVE (259) while the child runs; afterwards its exit status (0-255), the code given to
// TerminateProcess, or SignalExitCodeBase + signal for a child a signal ended.
BOOL GetExitCodeProcess(HANDLE hProcess, DWORD* lpExitCode);

// Waits for a process (or its thread handle) to end: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED
// for a handle that is no process. dwMilliseconds INFINITE waits without limit.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Ends a child at once (SIGKILL); the given code becomes the exit code that GetExitCodeProcess
// answers. Fails (ESRCH) when the child has already ended.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

// Suspend counts of a child's main thread (the whole child: SIGSTOP / SIGCONT). Each answers the
// previous suspend count, or 0xFFFFFFFF on failure (no such handle, or the child has ended).
DWORD SuspendThread(HANDLE hThread);
DWORD ResumeThread(HANDLE hThread);

// The Windows C run-time's splitting of a command line into arguments: argv[0] runs to the first
// blank or tab outside double quotes, quotes removed; the others follow the backslash and
// double-quote rules (2n backslashes + quote: n backslashes and a quote that opens or closes;
// 2n+1: n backslashes and a literal quote; "" inside quotes: a literal quote).
QStringList SplitWindowsCommandLine(const QString& commandLine);
