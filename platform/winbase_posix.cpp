#include "winbase.h"

#include "SysUtils.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex gOverrideMutex;
TClockSource gClockSource;
QString gExecutablePathOverride;

std::int64_t SystemClockMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

void SetClockSource(TClockSource source) {
    std::lock_guard lock(gOverrideMutex);
    gClockSource = std::move(source);
}

void GetSystemTime(SYSTEMTIME* time) {
    TClockSource source;
    {
        std::lock_guard lock(gOverrideMutex);
        source = gClockSource;
    }
    const std::int64_t ms = source ? source() : SystemClockMs();
    // Floor division, so instants before 1970 split into a day and a non-negative time.
    std::int64_t secs = ms / 1000;
    std::int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --secs;
    }
    const time_t t = static_cast<time_t>(secs);
    tm utc{};
    gmtime_r(&t, &utc); // UTC whatever TZ says
    time->wYear = static_cast<WORD>(utc.tm_year + 1900);
    time->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    time->wDay = static_cast<WORD>(utc.tm_mday);
    time->wHour = static_cast<WORD>(utc.tm_hour);
    time->wMinute = static_cast<WORD>(utc.tm_min);
    time->wSecond = static_cast<WORD>(utc.tm_sec);
    time->wMilliseconds = static_cast<WORD>(rest);
}

DWORD GetLastError() {
    return static_cast<DWORD>(errno);
}

void SetLastError(DWORD code) {
    errno = static_cast<int>(code);
}

void Sleep(DWORD milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

QString ExecutablePath() {
    {
        std::lock_guard lock(gOverrideMutex);
        if (!gExecutablePathOverride.isEmpty())
            return gExecutablePathOverride;
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

void SetExecutablePathOverride(const QString& path) {
    std::lock_guard lock(gOverrideMutex);
    gExecutablePathOverride = path;
}

HMODULE LoadLibraryW(const QString& fileName) {
    return dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (!module)
        return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(module, procName));
}

BOOL FreeLibrary(HMODULE module) {
    return module && dlclose(module) == 0;
}

QString SysErrorMessage(int errorCode) {
    char buffer[256] = {};
    // GNU strerror_r answers a pointer that may or may not be the buffer.
    const char* text = strerror_r(errorCode, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}
