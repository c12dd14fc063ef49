#include "Utils.h"

#include <bit>
#include <cstdint>

TDateTime UtcNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const double msOfDay =
        now.wHour * 3600000.0 + now.wMinute * 60000.0 + now.wSecond * 1000.0 + now.wMilliseconds;
    return EncodeDate(now.wYear, now.wMonth, now.wDay) + msOfDay / MSecsPerDay;
}

bool DoubleIsNan(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    return (bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL &&
           (bits & 0x000FFFFFFFFFFFFFULL) != 0;
}

namespace Utils {

namespace {
TOptionalFunctions gEntries;
} // namespace

const TOptionalFunctions& OptionalFunctions() {
    return gEntries;
}

void StartUp() {
    gEntries = TOptionalFunctions{};
    gEntries.DwmapiModule = LoadLibraryW(QStringLiteral("DWMAPI.dll"));
    if (gEntries.DwmapiModule) {
        gEntries.CompositionSwitch = GetProcAddress(gEntries.DwmapiModule, "DwmEnableComposition");
        gEntries.CompositionQuery =
            GetProcAddress(gEntries.DwmapiModule, "DwmIsCompositionEnabled");
    }
    gEntries.Kernel32Module = LoadLibraryW(QStringLiteral("kernel32.dll"));
    if (!gEntries.Kernel32Module)
        return;
    gEntries.FileTimeClock =
        GetProcAddress(gEntries.Kernel32Module, "GetSystemTimePreciseAsFileTime");
    if (!gEntries.FileTimeClock)
        gEntries.FileTimeClock = GetProcAddress(gEntries.Kernel32Module, "GetSystemTimeAsFileTime");
    gEntries.TickCount64 = GetProcAddress(gEntries.Kernel32Module, "GetTickCount64");
}

void ShutDown() {
    if (gEntries.Kernel32Module) {
        FreeLibrary(gEntries.Kernel32Module);
        gEntries.Kernel32Module = nullptr;
    }
    if (gEntries.DwmapiModule) {
        FreeLibrary(gEntries.DwmapiModule);
        gEntries.DwmapiModule = nullptr;
    }
}

} // namespace Utils
