// Basic operating-system services, shaped like the Windows ones the programs call: the
// system clock, the last error code, a pause, the running program's own path, and optional
// functions loaded by library and function name.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = int;
using UINT = unsigned int;
// Handles are integers: on POSIX a handle is a file descriptor.
using HANDLE = std::intptr_t;
constexpr HANDLE INVALID_HANDLE_VALUE = -1;
constexpr DWORD INFINITE = 0xFFFFFFFF;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// The current system time in UTC, to the millisecond.
void GetSystemTime(SYSTEMTIME* time);

// Replaces the system clock: the function answers milliseconds since 1970-01-01 UTC.
// An empty function puts the real clock back. Tests use it to read known instants.
using TClockSource = std::function<std::int64_t()>;
void SetClockSource(TClockSource source);

// The code of the calling thread's last failed system call (errno on POSIX).
DWORD GetLastError();
void SetLastError(DWORD code);

// Pause the calling thread for the given milliseconds.
void Sleep(DWORD milliseconds);

// Full path of the running program's executable file.
QString ExecutablePath();
// Replaces the answer of ExecutablePath; an empty text puts the real path back.
void SetExecutablePathOverride(const QString& path);

// Optional functions: a library loaded by name and a function looked up by name. A missing
// library or function answers null; nothing is reported.
using HMODULE = void*;
using FARPROC = void (*)();
HMODULE LoadLibraryW(const QString& fileName);
FARPROC GetProcAddress(HMODULE module, const char* procName);
BOOL FreeLibrary(HMODULE module);
