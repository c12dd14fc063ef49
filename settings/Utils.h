// Shared helpers of both programs: the UTC clock, the NaN test of the double settings, and
// the optional system functions resolved by name at start-up.
#pragma once

#include "SysUtils.h"
#include "winbase.h"

// The current UTC date and time, to the millisecond, as days since 1899-12-30. Independent of
// the machine's time zone. Reads the system clock (GetSystemTime); keeps no state.
TDateTime UtcNow();

// True when the bits of x are a NaN: all 11 exponent bits set and the 52 mantissa bits not all
// zero. The sign bit plays no part; infinities are not NaN.
bool DoubleIsNan(double x);

namespace Utils {

// Optional system functions, looked up by library and function name at start-up. An entry
// stays null where its library or function is absent (on Linux the libraries never exist).
// Nothing in the programs calls them.
struct TOptionalFunctions {
    HMODULE DwmapiModule = nullptr;      // "DWMAPI.dll"
    HMODULE Kernel32Module = nullptr;    // "kernel32.dll"
    FARPROC CompositionSwitch = nullptr; // "DwmEnableComposition"
    FARPROC CompositionQuery = nullptr;  // "DwmIsCompositionEnabled"
    FARPROC FileTimeClock = nullptr;     // "GetSystemTimePreciseAsFileTime", else
                                         // "GetSystemTimeAsFileTime"
    FARPROC TickCount64 = nullptr;       // "GetTickCount64"
};

// The entries as start-up left them.
const TOptionalFunctions& OptionalFunctions();

// Resolves the entries; a missing library or function only leaves its entry null, nothing is
// reported. Starting again begins from empty entries.
void StartUp();
// Releases the two libraries. The function entries are left as they are (never called);
// the module handles are cleared so a second shut-down releases nothing twice.
void ShutDown();

} // namespace Utils
